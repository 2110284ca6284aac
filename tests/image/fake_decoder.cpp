// Stands in for gyrelle-decode in tests, misbehaving as the first word of
// the file it is given says: crash, hang, garbage, silent, half, linger.
// Any other file goes straight to the library, without the checks the real
// decoder makes first, so that a file known to hang the library hangs here.

#include <IL/il.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "io/decoder_process.h"
#include "io/image_io.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::string word;
  std::ifstream(argv[2]) >> word;
  if (word == "crash") {
    signal(SIGSEGV, SIG_DFL);  // past any sanitizer's handler
    raise(SIGSEGV);
  }
  if (word == "hang") pause();
  if (word == "garbage") {
    const std::string junk(200, 'x');
    return write(kDecodeResultFd, junk.data(), junk.size()) < 0;
  }
  if (word == "half") {
    // A whole answer for 100 x 100 pixels, cut off halfway.
    const std::vector<std::uint8_t> black(100 * 100 * 3);
    const DecodedPicture picture{black.data(), 100, 100, 3, nullptr};
    FILE* whole = std::tmpfile();
    SendDecodeResult(fileno(whole), &picture, "");
    std::string half(std::size_t(std::ftell(whole) / 2), '\0');
    std::rewind(whole);
    if (std::fread(half.data(), 1, half.size(), whole) != half.size()) return 4;
    return write(kDecodeResultFd, half.data(), half.size()) < 0;
  }
  if (word == "linger") {
    const std::uint8_t red[3] = {255, 0, 0};
    const DecodedPicture picture{red, 1, 1, 3, nullptr};
    SendDecodeResult(kDecodeResultFd, &picture, "");
    pause();
  }
  InitImageLibrary();
  ILuint id;
  ilGenImages(1, &id);
  ilBindImage(id);
  ilLoadImage(argv[2]);
  return 3;
}
