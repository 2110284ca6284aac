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
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/job.h"
#include "engine/sheet_rules.h"
#include "gyrelle_version.h"
#include "io/image_io.h"
#include "sheet/data_formats.h"

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
    "      --png-compression fast|default|small\n"
    "                     how hard PNG files are compressed (default: default)\n"
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
    "      --data FILE    also write the frames' rectangles and animations for game\n"
    "                     engines, in the format FILE's extension names: .json\n"
    "                     (Phaser, PixiJS), .tres (a Godot SpriteFrames resource) or\n"
    "                     .atlas (libGDX and Spine)\n"
    "      --data-format hash|array|aseprite|godot4|godot3|libgdx\n"
    "                     for .json the hash form (default), the array form or\n"
    "                     frames named by number for Phaser's createFromAseprite;\n"
    "                     for .tres Godot 4 (default) or Godot 3\n"
    "      --fps N        animation speed, frames a second, 1 to 1000 (default 10)\n"
    "      --method library|rotsprite|shear|smooth\n"
    "                     how each frame is turned: by the image library (the\n"
    "                     default), or for pixel art, moving whole pixels only, by\n"
    "                     RotSprite or by three shears, or for painted and rendered\n"
    "                     art, smoothly resampled about the picture's exact centre\n"
    "      --threads N    threads that build frames, processes for the library's\n"
    "                     turn, 1 to 1024 (default: one per core); the sheet is the\n"
    "                     same for any N\n"
    "      --trim         cut each frame to its visible pixels; the data file says\n"
    "                     where it sits in the full frame (needs --data)\n"
    "      --pack         place the frames in the smallest sheet found, within\n"
    "                     --max-size (needs --data)\n"
    "      --extrude N    repeat each frame's edge pixels N pixels outward, 0 to 64\n"
    "      --bleed        transparent pixels take the nearest visible pixel's color\n"
    "                     (needs --alpha)\n"
    "      --premultiply  colors multiplied by alpha (needs --alpha)\n"
    "      --normals SUFFIX\n"
    "                     also turn INPUT's normal map, its name with SUFFIX before\n"
    "                     the extension, into a second sheet named so after OUTPUT,\n"
    "                     each vector turned with its frame; not with --8bit\n"
    "      --normal-y up|down\n"
    "                     which way the normal map's green points (default up)\n"
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

// Reads the command line into `job`: an exit status when there is nothing
// more to do (help, the version, a usage error), none when the job is whole.
std::optional<int> Parse(int argc, char** argv, Job& job, bool& quiet) {
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
    kPngCompression,
    kFps,
    kTrim,
    kPack,
    kExtrude,
    kBleed,
    kPremultiply,
    kNormals,
    kNormalY,
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
                            {"png-compression", required_argument, nullptr, kPngCompression},
                            {"normals", required_argument, nullptr, kNormals},
                            {"normal-y", required_argument, nullptr, kNormalY},
                            {"fps", required_argument, nullptr, kFps},
                            {"trim", no_argument, nullptr, kTrim},
                            {"pack", no_argument, nullptr, kPack},
                            {"extrude", required_argument, nullptr, kExtrude},
                            {"bleed", no_argument, nullptr, kBleed},
                            {"premultiply", no_argument, nullptr, kPremultiply},
                            {"inputs", required_argument, nullptr, kInputs},
                            {"animation", no_argument, nullptr, kAnimation},
                            {nullptr, 0, nullptr, 0}};
  StripOptions strip;
  bool fillGiven = false;
  bool columnsGiven = false;
  SaveOptions save;
  std::string dataFormatName;
  bool fpsGiven = false;
  bool normalYGiven = false;

  std::string inputsFile;
  bool animation = false;

  opterr = 0;  // our own messages, one line each
  int option;
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
        save.dataPath = optarg;
        break;
      case kDataFormat:
        if (DataFormatNamed(optarg) == nullptr) {
          return UsageError("the data format must be one of " + DataFormatNameList(", ") +
                            ", not " + Quoted(optarg));
        }
        dataFormatName = optarg;
        break;
      case kFps:
        if (!ParseWhole(optarg, save.fps, 1) || save.fps > kMostFps) {
          return UsageError("the frames a second must be a whole number from 1 to " +
                            std::to_string(kMostFps) + ", not " + Quoted(optarg));
        }
        fpsGiven = true;
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
      case kPngCompression:
        if (const auto compression = PngCompressionNamed(optarg)) {
          save.pngCompression = *compression;
        } else {
          return UsageError("the PNG compression must be one of " +
                            std::string(kPngCompressionList) + ", not " + Quoted(optarg));
        }
        break;
      case kTrim:
        strip.trim = true;
        break;
      case kPack:
        strip.pack = true;
        break;
      case kExtrude:
        if (!ParseWhole(optarg, strip.extrude, 0) || strip.extrude > kMostExtrude) {
          return UsageError("extrusion must be a whole number of pixels from 0 to " +
                            std::to_string(kMostExtrude) + ", not " + Quoted(optarg));
        }
        break;
      case kBleed:
        strip.bleed = true;
        break;
      case kPremultiply:
        strip.premultiply = true;
        break;
      case kNormals:
        if (*optarg == '\0') return UsageError("the normal map suffix must not be empty");
        save.normals.suffix = optarg;
        break;
      case kNormalY:
        if (std::string(optarg) != "up" && std::string(optarg) != "down") {
          return UsageError("the normal map's y must be up or down, not " + Quoted(optarg));
        }
        save.normals.y = std::string(optarg) == "up" ? NormalY::kUp : NormalY::kDown;
        normalYGiven = true;
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
  job = Job{{argv + optind, argv + argc - 1}, argv[argc - 1], strip, save, !fillGiven};
  job.animation = animation;
  if (!inputsFile.empty() && !ReadInputList(inputsFile, job.inputs)) {
    return Complain(kExitUnreadableOrUnwritable,
                    Quoted(inputsFile) + " could not be read: " + SystemError());
  }
  if (columnsGiven && strip.maxSize > 0) {
    return UsageError("--columns and --max-size both choose the columns; give one");
  }
  if (!dataFormatName.empty() && save.dataPath.empty()) {
    return UsageError("--data-format needs --data");
  }
  if (fpsGiven && save.dataPath.empty()) return UsageError("--fps needs --data");
  if (normalYGiven && !save.normals.On()) return UsageError("--normal-y needs --normals");
  if (!save.dataPath.empty()) {
    std::string expected;
    const DataFormatRow* row = DataFormatOfPath(save.dataPath, dataFormatName, &expected);
    if (row == nullptr) {
      return UsageError(
          "the data file must end in " + expected +
          (dataFormatName.empty() ? "" : " for --data-format " + dataFormatName) + ", not " +
          Quoted(save.dataPath));
    }
    job.save.data = row->format;
  }
  if (const std::string refusal = SheetOptionsRefusal(job.strip, job.save); !refusal.empty()) {
    return UsageError(refusal);
  }
  return std::nullopt;
}

}  // namespace

static int Run(int argc, char** argv) {
  // Past a file size limit a write then fails with EFBIG, is reported and
  // its temporary file removed, where the signal would end the run silently.
  std::signal(SIGXFSZ, SIG_IGN);
  Job job;
  bool quiet = false;
  if (const std::optional<int> done = Parse(argc, argv, job, quiet)) return *done;
  if (const JobProblem problem = ValidateJob(job)) return UsageError(problem.text);

  InitImageLibrary();
  ProgressLine progress(!quiet);
  const JobResult result = RunJob(job, progress.Hook());
  progress.Clear();
  if (result.usageError) return UsageError(result.failures.front());
  for (const std::string& failure : result.failures) Complain(kExitUnreadableOrUnwritable, failure);
  return result.failures.empty() ? 0 : kExitUnreadableOrUnwritable;
}

int main(int argc, char** argv) {
  // Whatever memory runs out on is said, not left to abort the program.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    return Complain(kExitUnreadableOrUnwritable, "not enough memory");
  }
}
