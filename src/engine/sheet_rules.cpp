#include "engine/sheet_rules.h"

std::string SheetOptionsRefusal(const StripOptions& strip, const SaveOptions& save) {
  // Without a data file nothing can put cut or moved frames back.
  if (save.data == DataFormat::kNone && (strip.trim || strip.pack)) {
    return std::string(strip.trim ? "trimming" : "packing") +
           " needs a data file: without one nothing can tell where each frame is";
  }
  if (!strip.alpha && (strip.bleed || strip.premultiply)) {
    return std::string(strip.bleed ? "bleeding colour" : "premultiplying") +
           " needs transparency (alpha)";
  }
  if (strip.extrude < 0 || strip.extrude > kMostExtrude) {
    return "extrusion must be from 0 to " + std::to_string(kMostExtrude) + " pixels";
  }
  return {};
}
