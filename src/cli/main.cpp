// gyrelle-cli: the frame strip engine for scripts and asset pipelines. It
// takes the same steps as the window's Open, Rotate and Save As, so its files
// are byte for byte what the window writes for the same picture and options.

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/fleet_pipeline.h"
#include "engine/strip_pipeline.h"
#include "gyrelle_version.h"
#include "io/image_io.h"
#include "sheet/sheet_layout.h"

namespace {

constexpr int kExitUnreadableOrUnwritable = 1;
constexpr int kExitUsage = 2;
// Far more threads than any machine has cores only cost memory.
constexpr int kMostThreads = 1024;

constexpr const char* kUsage =
    "Usage: gyrelle-cli [options] INPUT OUTPUT\n"
    "       gyrelle-cli [options] INPUT... OUTPUT\n"
    "Turns the picture INPUT through a full circle and writes the frames, stacked\n"
    "top to bottom, to OUTPUT. The format follows OUTPUT's extension: png, tga,\n"
    "bmp or pcx, in any letter case.\n"
    "With several INPUTs, each picture gets its own frames (its own fill and frame\n"
    "size) in one sheet: its frames in a block of rows of their own, named\n"
    "<stem>_<k> and one animation <stem>, after the picture's file name.\n"
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
    "\n"
    "Sheets (all off by default):\n"
    "      --alpha        keep transparency: transparent pixels and uncovered corners\n"
    "                     get alpha 0, their color the fill; PNG or TGA, not with\n"
    "                     --8bit. Without it, pixels that are not wholly opaque are\n"
    "                     laid over the fill color\n"
    "      --frame-size keep|fit|WxH\n"
    "                     each frame the picture's size (keep, the default), the\n"
    "                     smallest size that holds every turned picture whole (fit),\n"
    "                     or W x H pixels, the picture centred and cropped\n"
    "      --columns C    frame k at column k mod C, row k div C (default 1)\n"
    "      --spacing P    P pixels between frames (default 0)\n"
    "      --margin M     M pixels around the sheet (default 0)\n"
    "      --max-size S   the fewest columns that keep both sides within S pixels\n"
    "      --pot          pad the sheet to power-of-two sides\n"
    "      --start DEG    turn frame 0 by DEG whole degrees (default 0)\n"
    "      --reverse      turn the other way\n"
    "      --exact-angles frame k at round(start + k * 360 / N) degrees, not the\n"
    "                     running sum truncated to whole degrees\n"
    "      --data FILE.json\n"
    "                     also write the frames' rectangles for game engines\n"
    "      --data-format hash|array\n"
    "                     the JSON hash form (default) or the JSON array form\n"
    "      --method library|rotsprite|shear\n"
    "                     how each frame is turned: by the image library (the\n"
    "                     default), or for pixel art, moving whole pixels only, by\n"
    "                     RotSprite or by three shears\n"
    "      --threads N    threads that build rotsprite and shear frames, 1 to 1024\n"
    "                     (default: one per core); the sheet is the same for any N\n"
    "\n"
    "Several pictures:\n"
    "      --inputs FILE  also read INPUTs from FILE, one path a line\n"
    "      --animation    the INPUTs, in order, are the frames of one animation, all\n"
    "                     one size: every frame at every angle, each angle's frames\n"
    "                     in a block of rows, named <stem>_<k>_<j> after OUTPUT\n"
    "                     (angle k, frame j), an animation <stem>_<k> per angle\n"
    "                     and spin, frame 0 at every angle\n"
    "\n"
    "  -q, --quiet        no progress line; without it, one is kept on standard error\n"
    "                     when that is a terminal and the job takes over a second\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 an INPUT could not be read or a file could not be written,\n"
    "2 a usage error, OUTPUT or its mask being an INPUT itself, two INPUTs of one\n"
    "stem, or frames of an animation of different sizes among them.\n";

// One line on standard error, rewritten in place, once a job has run for a
// second; only on a terminal, where it goes again when the job ends.
class ProgressLine {
 public:
  explicit ProgressLine(bool wanted) : on_(wanted && isatty(STDERR_FILENO)) {}
  ~ProgressLine() { Clear(); }

  // What the engine reports: frames made (of a total), or bytes written.
  ProgressHook Hook() {
    if (!on_) return {};
    return [this](long long done, long long total) {
      const auto now = std::chrono::steady_clock::now();
      if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(100)) {
        return true;
      }
      shown_ = now;
      if (total > 0) {
        std::fprintf(stderr, "\rgyrelle-cli: %lld of %lld frames made\033[K", done, total);
      } else {
        std::fprintf(stderr, "\rgyrelle-cli: %.1f MB written\033[K", double(done) / 1e6);
      }
      visible_ = true;
      return true;
    };
  }
  void Clear() {
    if (visible_) std::fputs("\r\033[K", stderr);
    visible_ = false;
  }

 private:
  bool on_;
  bool visible_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point shown_{};
};

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

// A whole number of at least `least`, nothing after it.
bool ParseWhole(const std::string& text, int& value, int least) {
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && next == end && value >= least;
}

bool ParseFrames(const std::string& text, int& frames) {
  return ParseWhole(text, frames, 1);
}

bool ParseFrameSize(const std::string& text, FrameSize& size) {
  if (text == "keep" || text == "fit") {
    size = {text == "keep" ? FrameSize::Kind::kKeep : FrameSize::Kind::kFit};
    return true;
  }
  const auto x = text.find('x');
  size.kind = FrameSize::Kind::kGiven;
  return x != std::string::npos && ParseWhole(text.substr(0, x), size.width, 1) &&
         ParseWhole(text.substr(x + 1), size.height, 1);
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

// Appends the lines of `path` that are not empty, one path each.
bool ReadInputList(const std::string& path, std::vector<std::string>& inputs) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::string line;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c != '\n') {
      line += char(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) inputs.push_back(line);
    line.clear();
  }
  if (!line.empty()) inputs.push_back(line);
  const bool read = !std::ferror(file);
  std::fclose(file);
  return read;
}

// What several pictures rule out, before any is read; empty when nothing.
std::string ManyPicturesProblem(const std::vector<std::string>& inputs, const StripOptions& strip,
                                const SaveOptions& save, bool animation, bool fillGiven,
                                bool columnsGiven) {
  if (!animation) {
    if (std::string problem = SameStemProblem(inputs); !problem.empty()) return problem;
  } else if (columnsGiven && strip.columns > int(inputs.size())) {
    return std::to_string(strip.columns) + " columns are more than the " +
           std::to_string(inputs.size()) + " frames of the animation";
  }
  // Each picture has its own fill; a mask keyed to a colour needs one.
  if (save.mask && !strip.alpha && !fillGiven && inputs.size() > 1) {
    return "--mask of several pictures needs --fill, one color for the mask to follow";
  }
  return {};
}

// The sheet of several pictures, or of the frames of an animation.
int RunMany(const std::vector<std::string>& inputs, const std::string& output, StripOptions strip,
            const SaveOptions& save, bool fillGiven, bool animation, bool quiet) {
  std::string reason;
  std::vector<std::unique_ptr<Image>> read;
  if (!ReadPictures(inputs, read, &reason, strip.threads)) {
    return Complain(kExitUnreadableOrUnwritable, reason);
  }
  std::vector<const Image*> pictures;
  std::vector<std::string> stems;
  std::vector<Rgb> fills;
  for (std::size_t i = 0; i < read.size(); ++i) {
    pictures.push_back(read[i].get());
    stems.push_back(PictureStem(inputs[i]));
    fills.push_back(fillGiven ? strip.fill : TopLeftColor(*read[i]));
  }
  if (animation) {
    if (const std::string problem = SizeMismatchProblem(inputs, pictures); !problem.empty()) {
      return UsageError(problem);
    }
  }
  strip.fill = fills.front();
  SheetPlan plan;
  ProgressLine progress(!quiet);
  auto sheet = MakeFleetSheet(pictures, stems, fills, strip, animation, &reason, &plan,
                              progress.Hook());
  progress.Clear();
  if (!sheet) return Complain(kExitUnreadableOrUnwritable, reason);
  read.clear();
  if (const std::string tooLarge =
          SaveSizeProblem(output, plan.width, plan.height, strip.alpha ? 4 : 3);
      !tooLarge.empty()) {
    return Complain(kExitUnreadableOrUnwritable, tooLarge);
  }
  int status = 0;
  for (const SaveFailure& failure :
       SaveStrip(*sheet, output, save, strip.fill, &plan, progress.Hook())) {
    status = Complain(kExitUnreadableOrUnwritable, failure.kind == SaveFailure::Kind::kMaskOutOfMemory
                                                       ? Quoted(failure.path) + ": " + failure.reason
                                                       : failure.reason);
  }
  progress.Clear();
  return status;
}

bool WritableFormat(const std::string& path) {
  const std::string extension = Extension(path);
  return extension == "PNG" || extension == "TGA" || extension == "BMP" || extension == "PCX";
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file size limit a write then fails with EFBIG, is reported and
  // its temporary file removed, where the signal would end the run silently.
  std::signal(SIGXFSZ, SIG_IGN);
  enum {
    kEightBit = 256,
    kCompress,
    kMask,
    kVersion,
    kAlpha,
    kFrameSize,
    kColumns,
    kSpacing,
    kMargin,
    kMaxSize,
    kPot,
    kStart,
    kReverse,
    kExactAngles,
    kData,
    kDataFormat,
    kMethod,
    kThreads,
    kInputs,
    kAnimation
  };
  const option options[] = {{"frames", required_argument, nullptr, 'n'},
                            {"fill", required_argument, nullptr, 'f'},
                            {"8bit", no_argument, nullptr, kEightBit},
                            {"compress", no_argument, nullptr, kCompress},
                            {"mask", no_argument, nullptr, kMask},
                            {"help", no_argument, nullptr, 'h'},
                            {"quiet", no_argument, nullptr, 'q'},
                            {"version", no_argument, nullptr, kVersion},
                            {"alpha", no_argument, nullptr, kAlpha},
                            {"frame-size", required_argument, nullptr, kFrameSize},
                            {"columns", required_argument, nullptr, kColumns},
                            {"spacing", required_argument, nullptr, kSpacing},
                            {"margin", required_argument, nullptr, kMargin},
                            {"max-size", required_argument, nullptr, kMaxSize},
                            {"pot", no_argument, nullptr, kPot},
                            {"start", required_argument, nullptr, kStart},
                            {"reverse", no_argument, nullptr, kReverse},
                            {"exact-angles", no_argument, nullptr, kExactAngles},
                            {"data", required_argument, nullptr, kData},
                            {"data-format", required_argument, nullptr, kDataFormat},
                            {"method", required_argument, nullptr, kMethod},
                            {"threads", required_argument, nullptr, kThreads},
                            {"inputs", required_argument, nullptr, kInputs},
                            {"animation", no_argument, nullptr, kAnimation},
                            {nullptr, 0, nullptr, 0}};
  StripOptions strip;
  bool fillGiven = false;
  bool columnsGiven = false;
  SaveOptions save;
  DataFormat dataFormat = DataFormat::kJsonHash;
  bool dataFormatGiven = false;

  std::vector<std::string> inputs;
  std::string inputsFile;
  bool animation = false;

  opterr = 0;  // our own messages, one line each
  int option;
  bool quiet = false;
  while ((option = getopt_long(argc, argv, ":n:f:hq", options, nullptr)) != -1) {
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
      case kAlpha:
        strip.alpha = true;
        break;
      case kFrameSize:
        if (!ParseFrameSize(optarg, strip.frameSize)) {
          return UsageError("the frame size must be keep, fit or WxH with W and H above 0, not " +
                            Quoted(optarg));
        }
        break;
      case kColumns:
        if (!ParseWhole(optarg, strip.columns, 1)) {
          return UsageError("the number of columns must be a whole number above 0, not " +
                            Quoted(optarg));
        }
        columnsGiven = true;
        break;
      case kSpacing:
      case kMargin:
        if (!ParseWhole(optarg, option == kSpacing ? strip.spacing : strip.margin, 0)) {
          return UsageError(std::string(option == kSpacing ? "spacing" : "the margin") +
                            " must be a whole number of pixels, 0 or more, not " + Quoted(optarg));
        }
        break;
      case kMaxSize:
        if (!ParseWhole(optarg, strip.maxSize, 1)) {
          return UsageError("the largest side must be a whole number above 0, not " +
                            Quoted(optarg));
        }
        break;
      case kPot:
        strip.powerOfTwo = true;
        break;
      case kStart:
        if (!ParseWhole(optarg, strip.startDegrees, INT_MIN)) {
          return UsageError("the start angle must be whole degrees, not " + Quoted(optarg));
        }
        break;
      case kReverse:
        strip.reverse = true;
        break;
      case kExactAngles:
        strip.exactAngles = true;
        break;
      case kData:
        if (Extension(optarg) != "JSON") {
          return UsageError("the data file must end in .json, not " + Quoted(optarg));
        }
        save.dataPath = optarg;
        break;
      case kDataFormat:
        if (std::string(optarg) != "hash" && std::string(optarg) != "array") {
          return UsageError("the data format must be hash or array, not " + Quoted(optarg));
        }
        dataFormat = std::string(optarg) == "hash" ? DataFormat::kJsonHash : DataFormat::kJsonArray;
        dataFormatGiven = true;
        break;
      case kMethod:
        if (const auto method = TurnMethodNamed(optarg)) {
          strip.method = *method;
        } else {
          return UsageError("the turning method must be one of " + std::string(kTurnMethodList) +
                            ", not " + Quoted(optarg));
        }
        break;
      case kThreads:
        if (!ParseWhole(optarg, strip.threads, 1) || strip.threads > kMostThreads) {
          return UsageError("the number of threads must be a whole number from 1 to " +
                            std::to_string(kMostThreads) + ", not " + Quoted(optarg));
        }
        break;
      case kInputs:
        inputsFile = optarg;
        break;
      case kAnimation:
        animation = true;
        break;
      case 'q':
        quiet = true;
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
  const int named = argc - optind;
  if (named < 1 || (named < 2 && inputsFile.empty())) {
    return UsageError("expected INPUT and OUTPUT, got " + std::to_string(named) + " file name" +
                      (named == 1 ? "" : "s"));
  }
  inputs.assign(argv + optind, argv + argc - 1);
  if (!inputsFile.empty() && !ReadInputList(inputsFile, inputs)) {
    return Complain(kExitUnreadableOrUnwritable,
                    Quoted(inputsFile) + " could not be read: " + SystemError());
  }
  if (inputs.empty()) return UsageError("expected INPUT and OUTPUT, got no INPUT");
  const std::string input = inputs.front();
  const std::string output = argv[argc - 1];
  if (!WritableFormat(output)) {
    return UsageError(Quoted(output) + " must end in .png, .tga, .bmp or .pcx");
  }
  // Writing over INPUT would destroy the picture the strip is made from.
  std::vector<std::string> targets{output};
  if (save.mask) targets.push_back(MaskPath(output));
  if (!save.dataPath.empty()) targets.push_back(save.dataPath);
  for (const std::string& target : targets) {
    for (const std::string& picture : inputs) {
      std::error_code error;
      if (std::filesystem::equivalent(picture, target, error)) {
        return UsageError(Quoted(target) + " is " + (inputs.size() == 1 ? "INPUT" : "an INPUT") +
                          " itself and would be overwritten");
      }
    }
  }
  const bool many = inputs.size() > 1 || animation;
  if (many) {
    if (const std::string problem = ManyPicturesProblem(inputs, strip, save, animation,
                                                        fillGiven, columnsGiven);
        !problem.empty()) {
      return UsageError(problem);
    }
  }
  if (columnsGiven && !animation && strip.columns > strip.frames) {
    return UsageError(std::to_string(strip.columns) + " columns are more than the " +
                      std::to_string(strip.frames) + " frames");
  }
  if (columnsGiven && strip.maxSize > 0) {
    return UsageError("--columns and --max-size both choose the columns; give one");
  }
  if (dataFormatGiven && save.dataPath.empty()) return UsageError("--data-format needs --data");
  if (!save.dataPath.empty()) save.data = dataFormat;
  if (strip.alpha) {
    if (const std::string refusal = TransparencyRefusal(output, save); !refusal.empty()) {
      return UsageError(refusal);
    }
  }

  InitImageLibrary();
  if (many) return RunMany(inputs, output, strip, save, fillGiven, animation, quiet);
  std::string reason;
  auto picture = ReadPicture(input, &reason);
  if (!picture) return Complain(kExitUnreadableOrUnwritable, reason);
  if (!fillGiven) strip.fill = TopLeftColor(*picture);
  // A sheet its format cannot hold is refused before it is made.
  SheetPlan plan;
  if (!PlanStrip(*picture, strip, plan, &reason)) {
    return Complain(kExitUnreadableOrUnwritable, Quoted(input) + ": " + reason);
  }
  const std::string tooLarge =
      SaveSizeProblem(output, plan.width, plan.height, strip.alpha ? 4 : 3);
  if (!tooLarge.empty()) return Complain(kExitUnreadableOrUnwritable, tooLarge);
  ProgressLine progress(!quiet);
  auto sheet = MakeStrip(*picture, strip, &reason, &plan, progress.Hook());
  progress.Clear();
  if (!sheet) return Complain(kExitUnreadableOrUnwritable, Quoted(input) + ": " + reason);
  picture.reset();  // the strip is what is written; give its memory back

  int status = 0;
  const std::vector<SaveFailure> failures =
      SaveStrip(*sheet, output, save, strip.fill, &plan, progress.Hook());
  progress.Clear();
  for (const SaveFailure& failure : failures) {
    status =
        Complain(kExitUnreadableOrUnwritable, failure.kind == SaveFailure::Kind::kMaskOutOfMemory
                                                  ? Quoted(failure.path) + ": " + failure.reason
                                                  : failure.reason);
  }
  return status;
}
