// Feeds any bytes to the in-process decoder, the code gyrelle-decode runs,
// as a file of one of the five formats the Open dialog offers, read at one
// of the three depths. The first byte chooses both; the rest is the file.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_input.h"
#include "io/image_io.h"

namespace {

std::string directory;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitImageLibrary();
  char pattern[] = "/dev/shm/gyrelle-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  directory = pattern;
  std::atexit([] { std::system(("rm -rf " + directory).c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const DecodeFuzzChoice choice = ChooseFormatAndDepth(data[0]);
  const std::string path = directory + "/input." + choice.extension;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (std::fwrite(data + 1, 1, size - 1, file) != size - 1 || std::fclose(file) != 0) std::abort();
  std::string reason;
  DecodeImageFile(path, choice.bytesPerPixel, &reason);
  return 0;
}
