#pragma once

// PNG files written on every core: the rows cut into bands, each band
// filtered and deflated on its own, the runs joined into the one zlib
// stream a PNG holds. Knows no image library.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "core/progress.h"
#include "core/pixel_rows.h"

// How hard PNG files are squeezed: `fast` writes quickest and largest,
// `small` smallest and slowest; on sheets `default` is smaller than the
// library's own writer made them, and much faster.
enum class PngCompression { kFast, kDefault, kSmall };

std::string_view PngCompressionName(PngCompression compression);
std::optional<PngCompression> PngCompressionNamed(std::string_view name);
inline constexpr const char* kPngCompressionList = "fast, default, small";

struct PngWriteSettings {
  PngCompression compression = PngCompression::kDefault;
  int threads = 0;       // 0: one per core
  int rowsPerBand = 0;   // 0: chosen from the row length (tests choose small bands)
};

// Writes `picture` (3 bytes a pixel: RGB; 4: RGBA; 1: indices into its
// palette, written with all 256 entries) as a PNG file. `progress` hears of
// the bytes written between rounds of bands and may stop the write. False
// when a write failed (errno set) or, with errno 0, with `why` filled.
bool WritePng(const PixelRows& picture, std::FILE* file, const PngWriteSettings& settings,
              std::string& why, const ProgressHook& progress = {});
