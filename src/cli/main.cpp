// gyrelle-cli: the frame strip engine for scripts and asset pipelines. It
// takes the same steps as the window's Open, Rotate and Save As, so its files
// are byte for byte what the window writes for the same picture and options.

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "image/image_io.h"
#include "image/strip_pipeline.h"

namespace {

constexpr int kExitUnreadableOrUnwritable = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: gyrelle-cli [options] INPUT OUTPUT\n"
    "Turns the picture INPUT through a full circle and writes the frames, stacked\n"
    "top to bottom, to OUTPUT. The format follows OUTPUT's extension: png, tga,\n"
    "bmp or pcx, in any letter case.\n"
    "\n"
    "  -n, --frames N     number of frames, at least 1 (default 32)\n"
    "  -f, --fill RRGGBB  color of the corners the turning uncovers, six hex digits\n"
    "                     (default: the picture's top-left pixel)\n"
    "      --8bit         save 8-bit palettised instead of 24-bit\n"
    "      --compress     run-length compress TGA files and 8-bit BMP files (24-bit\n"
    "                     BMP has no run-length form and stays plain)\n"
    "      --mask         also write a black-and-white mask, black where the strip\n"
    "                     has the fill color, to OUTPUT's name up to its last \".\"\n"
    "                     followed by \"-mask.BMP\" (an 8-bit BMP)\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 INPUT could not be read or a file could not be written,\n"
    "2 a usage error, OUTPUT or its mask being INPUT itself among them.\n";

int Complain(int status, const std::string& text) {
  std::fprintf(stderr, "gyrelle-cli: %s\n", text.c_str());
  return status;
}

int UsageError(const std::string& text) {
  return Complain(kExitUsage, text + " (see gyrelle-cli --help)");
}

// Help and version: a failed write (a full disk) is a failure, not a success.
int Print(const std::string& text) {
  if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return Complain(kExitUnreadableOrUnwritable,
                    "cannot write to the standard output: " + SystemError());
  }
  return 0;
}

bool ParseFrames(const std::string& text, int& frames) {
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, frames);
  return error == std::errc() && next == end && frames > 0;
}

bool ParseFill(const std::string& text, Rgb& fill) {
  if (text.size() != 6 || !std::all_of(text.begin(), text.end(),
                                       [](unsigned char c) { return std::isxdigit(c) != 0; })) {
    return false;
  }
  std::uint8_t* const channels[] = {&fill.red, &fill.green, &fill.blue};
  for (int i = 0; i < 3; ++i) {
    std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, *channels[i], 16);
  }
  return true;
}

bool WritableFormat(const std::string& path) {
  const auto dot = path.rfind('.');
  const auto slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == "png" || extension == "tga" || extension == "bmp" || extension == "pcx";
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file size limit a write then fails with EFBIG, is reported and
  // its temporary file removed, where the signal would end the run silently.
  std::signal(SIGXFSZ, SIG_IGN);
  enum { kEightBit = 256, kCompress, kMask, kVersion };
  const option options[] = {
      {"frames", required_argument, nullptr, 'n'}, {"fill", required_argument, nullptr, 'f'},
      {"8bit", no_argument, nullptr, kEightBit},   {"compress", no_argument, nullptr, kCompress},
      {"mask", no_argument, nullptr, kMask},       {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, kVersion}, {nullptr, 0, nullptr, 0}};
  StripOptions strip;
  bool fillGiven = false;
  SaveOptions save;

  opterr = 0;  // our own messages, one line each
  int option;
  while ((option = getopt_long(argc, argv, ":n:f:h", options, nullptr)) != -1) {
    switch (option) {
      case 'n':
        if (!ParseFrames(optarg, strip.frames)) {
          return UsageError("the number of frames must be a whole number above 0, not " +
                            Quoted(optarg));
        }
        break;
      case 'f':
        if (!ParseFill(optarg, strip.fill)) {
          return UsageError("the fill color must be six hex digits RRGGBB, not " + Quoted(optarg));
        }
        fillGiven = true;
        break;
      case kEightBit:
        save.eightBit = true;
        break;
      case kCompress:
        save.compressed = true;
        break;
      case kMask:
        save.mask = true;
        break;
      case 'h':
        return Print(kUsage);
      case kVersion:
        return Print(std::string("gyrelle-cli ") + GYRELLE_VERSION + "\n");
      case ':':
        return UsageError(Quoted(argv[optind - 1]) + " needs a value");
      default:
        return UsageError("unknown option " + Quoted(argv[optind - 1]));
    }
  }
  if (argc - optind != 2) {
    return UsageError("expected INPUT and OUTPUT, got " + std::to_string(argc - optind) +
                      " file name" + (argc - optind == 1 ? "" : "s"));
  }
  const std::string input = argv[optind];
  const std::string output = argv[optind + 1];
  if (!WritableFormat(output)) {
    return UsageError(Quoted(output) + " must end in .png, .tga, .bmp or .pcx");
  }
  // Writing over INPUT would destroy the picture the strip is made from.
  for (const std::string& target : {output, save.mask ? MaskPath(output) : output}) {
    std::error_code error;
    if (std::filesystem::equivalent(input, target, error)) {
      return UsageError(Quoted(target) + " is INPUT itself and would be overwritten");
    }
  }

  InitImageLibrary();
  std::string reason;
  auto picture = ReadPicture(input, &reason);
  if (!picture) return Complain(kExitUnreadableOrUnwritable, reason);
  if (!fillGiven) strip.fill = TopLeftColor(*picture);
  auto sheet = MakeStrip(*picture, strip, &reason);
  if (!sheet) return Complain(kExitUnreadableOrUnwritable, Quoted(input) + ": " + reason);
  picture.reset();  // the strip is what is written; give its memory back

  int status = 0;
  for (const SaveFailure& failure : SaveStrip(*sheet, output, save, strip.fill)) {
    status =
        Complain(kExitUnreadableOrUnwritable, failure.kind == SaveFailure::Kind::kMaskOutOfMemory
                                                  ? Quoted(failure.path) + ": " + failure.reason
                                                  : failure.reason);
  }
  return status;
}
