// How far the normal sheet's vectors stray from the source's, turned with
// their frames: normal maps of real shapes, every turning method, 16 angles.
// Usage: normal_bench [SIZE] (default 65).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/normal_sheet.h"
#include "io/image_io.h"
#include "normal_shapes.h"
#include "sheet/sheet_plan.h"

using namespace normal_shapes;

int main(int argc, char** argv) {
  const int size = argc > 1 ? std::atoi(argv[1]) : 65;
  InitImageLibrary();
  Image colour;
  colour.Allocate("ship", size, size, 3);
  for (std::size_t i = 0; i < colour.ByteSize(); ++i) colour.Pixels()[i] = std::uint8_t(i * 7);
  std::printf("%-9s %-10s %-5s %8s %16s %15s %15s %12s\n", "method", "shape", "y", "covered",
              "worst vs source", "worst vs blend", "worst vs shape", "uncovered");
  bool flatStaysFlat = true;
  for (TurnMethod method : {TurnMethod::kLibrary, TurnMethod::kRotSprite, TurnMethod::kShear,
                            TurnMethod::kSmooth}) {
    StripOptions options;
    options.frames = 16;
    options.exactAngles = true;
    options.alpha = true;
    options.method = method;
    SheetPlan plan;
    std::string reason;
    const auto sheet = MakeStrip(colour, options, &reason, &plan);
    if (!sheet) return std::fprintf(stderr, "%s\n", reason.c_str()), 1;
    for (Shape shape : {Shape::kFlat, Shape::kDome, Shape::kTwoBumps}) {
      for (NormalY yAxis : {NormalY::kUp, NormalY::kDown}) {
        const Image map = NormalMap(shape, size, yAxis);
        const auto normals = MakeNormalSheet({&map}, *sheet, plan, options, yAxis, &reason);
        if (!normals) return std::fprintf(stderr, "%s\n", reason.c_str()), 1;
        const Strays s = Measure(map, shape, *normals, plan, yAxis, Reach(method));
        const char* shapeName = shape == Shape::kFlat ? "flat" : shape == Shape::kDome ? "dome" : "two-bumps";
        std::printf("%-9s %-10s %-5s %8ld %15.2f° %14.2f° %14s %5ld/%ld flat\n",
                    std::string(TurnMethodName(method)).c_str(), shapeName,
                    yAxis == NormalY::kUp ? "up" : "down", s.covered, s.fromSource, s.fromBlend,
                    shape == Shape::kTwoBumps ? "-" : (std::to_string(s.fromShape).substr(0, 5) + "°").c_str(),
                    s.flatUncovered, s.uncovered);
        if (std::getenv("NORMAL_BENCH_WHERE")) {
          std::printf("  worst at frame angle %d, pixel (%d, %d), alpha %d; %ld pixels over 1°\n",
                      s.worstAngle, s.worstX, s.worstY, s.worstAlpha, s.overOne);
        }
        if (shape == Shape::kFlat) flatStaysFlat = flatStaysFlat && s.notFlat == 0;
      }
    }
  }
  std::printf("flat map stays flat (every covered pixel 128,128,255): %s\n",
              flatStaysFlat ? "yes" : "NO");
  return 0;
}
