// The bench script's helper:
//
//     strip_tool picture SAMPLE SIDE OUT   a sample ship blown up to SIDE x SIDE,
//                                          written to OUT; prints its top-left
//                                          pixel as RRGGBB
//     strip_tool literal N IN OUT          the strip made by the literal
//                                          quadratic method, end to end as
//                                          gyrelle-cli makes it: read, build
//                                          (fill: the top-left pixel), write

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "devil/library.h"
#include "turn/library_turn.h"
#include "io/image_io.h"
#include "literal_frame_strip.h"

namespace {

int Fail(const std::string& reason) {
  std::fprintf(stderr, "strip_tool: %s\n", reason.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return Fail("usage: strip_tool picture SAMPLE SIDE OUT | literal N IN OUT");
  InitImageLibrary();
  const std::string command = argv[1];
  std::string reason;
  if (command == "picture") {
    const Image picture = ScaledShip(argv[2], std::atoi(argv[3]));
    if (!SaveImageFile(picture, argv[4], &reason)) return Fail(reason);
    const std::uint8_t* p = picture.Pixels();
    std::printf("%02x%02x%02x\n", p[0], p[1], p[2]);
    return 0;
  }
  if (command == "literal") {
    auto picture = LoadImageFile(argv[3], 3, &reason);
    if (!picture) return Fail(reason);
    FlipRows(*picture);
    const std::uint8_t* p = picture->Pixels();
    SetClearColor(p[0], p[1], p[2], 255);
    const auto strip = LiteralFrameStrip(*picture, std::atoi(argv[2]));
    return SaveImageFile(*strip, argv[4], &reason) ? 0 : Fail(reason);
  }
  return Fail("unknown command " + command);
}
