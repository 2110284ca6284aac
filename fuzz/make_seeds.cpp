// Writes the decode fuzzer's seed inputs: small pictures in every format the
// Open dialog offers, written by the engine at both depths, each behind the
// byte that makes the fuzzer read it as that format.
//
//     make_seeds SAMPLES_DIR OUT_DIR

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "io/image_io.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  InitImageLibrary();
  const std::filesystem::path out = argv[2];
  std::filesystem::create_directories(out);

  std::vector<std::uint8_t> stripes(9 * 7 * 3);
  for (std::size_t i = 0; i < stripes.size(); ++i) stripes[i] = std::uint8_t(i * 37 % 251);
  Image small;
  small.Set("", stripes.data(), 9, 7, 3);
  std::string reason;
  const auto ship = LoadImageFile(std::string(argv[1]) + "/escort1.png", 3, &reason);
  if (!ship) {
    std::fprintf(stderr, "%s\n", reason.c_str());
    return 1;
  }
  const std::pair<const char*, const Image*> pictures[] = {{"stripes", &small},
                                                           {"ship", ship.get()}};
  for (const auto& [name, picture] : pictures) {
    for (int format = 0; format < 5; ++format) {
      for (int depth : {3, 1}) {
        const std::string extension = kFuzzExtensions[format];
        if (extension == "jpg" && depth == 1) continue;  // JPEG has no palette
        const auto file =
            out / (std::string(name) + "-" + std::to_string(depth * 8) + "bit." + extension);
        if (!SaveImageFile(*picture, file.string(), depth, &reason)) {
          std::fprintf(stderr, "%s\n", reason.c_str());
          return 1;
        }
        std::ifstream in(file, std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        bytes.insert(bytes.begin(), char(FirstByteFor(format, depth == 1 ? 1 : 0)));
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
      }
    }
  }
  return 0;
}
