#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "core/atomic_file.h"
#include "core/reasons.h"
#include "resources/resource_ids.h"
#include "settings/config_file.h"
#include "sheet/data_formats.h"
#include "settings/settings_location.h"

namespace {

// The Sheet Options choices live in a section of their own, written only
// when some choice differs from its default: everyone else's file stays as
// it always was. Values that make no sense fall back to the defaults.
void ReadSheetSection(ConfigFile& config, AppSettings& settings) {
  SheetChoices sheet;
  StripOptions& strip = sheet.strip;
  std::string text;
  strip.alpha = config.GetBool("SHEET|TRANSPARENT");
  config.GetString("SHEET|FRAME_SIZE", text);
  if (text == "FIT") strip.frameSize.kind = FrameSize::Kind::kFit;
  // The ranges the Sheet Options dialog takes; a number past them (read
  // saturated) would make every Rotate fail.
  const int columns = config.GetInt("SHEET|COLUMNS");
  strip.columns = columns >= 1 && columns <= 65535 ? columns : 1;
  const int spacing = config.GetInt("SHEET|SPACING");
  strip.spacing = spacing >= 0 && spacing <= 65535 ? spacing : 0;
  const int start = config.GetInt("SHEET|START_ANGLE");
  strip.startDegrees = start >= 0 && start < 360 ? start : 0;
  strip.reverse = config.GetBool("SHEET|REVERSE");
  strip.exactAngles = config.GetBool("SHEET|EXACT_ANGLES");
  text.clear();
  config.GetString("SHEET|DATA_FILE", text);
  const DataFormatRow* data = DataFormatKeyed(text);
  sheet.data = data != nullptr ? data->format : DataFormat::kNone;
  const int fps = config.GetInt("SHEET|FPS");
  sheet.fps = fps >= 1 && fps <= kMostFps ? fps : kDefaultFps;
  text.clear();
  config.GetString("SHEET|TURNING", text);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  strip.method = TurnMethodNamed(text).value_or(TurnMethod::kLibrary);
  strip.trim = config.GetBool("SHEET|TRIM");
  strip.pack = config.GetBool("SHEET|PACK");
  strip.bleed = config.GetBool("SHEET|BLEED");
  const int extrude = config.GetInt("SHEET|EXTRUDE");
  strip.extrude = extrude >= 0 && extrude <= 8 ? extrude : 0;
  config.GetString("SHEET|NORMAL_MAP_SUFFIX", sheet.normals.suffix);
  text.clear();
  config.GetString("SHEET|NORMAL_Y", text);
  if (text == "DOWN") sheet.normals.y = NormalY::kDown;
  settings.Sheet = sheet;
}

std::string SheetSection(const AppSettings& settings) {
  const SheetChoices& sheet = settings.Sheet;
  if (sheet == SheetChoices{}) return {};
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  const StripOptions& strip = sheet.strip;
  std::string turning(TurnMethodName(strip.method));
  std::transform(turning.begin(), turning.end(), turning.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  const DataFormatRow* dataRow = DataFormatRowOf(sheet.data);
  const char* data = dataRow != nullptr ? dataRow->settingsKey : "NONE";
  return std::string("[SHEET]\n") + "\tTRANSPARENT=" + flag(strip.alpha) +
         "\tFRAME_SIZE=" + (strip.frameSize.kind == FrameSize::Kind::kFit ? "FIT" : "KEEP") +
         ";\n" + "\tCOLUMNS=" + std::to_string(strip.columns) + ";\n" +
         "\tSPACING=" + std::to_string(strip.spacing) + ";\n" +
         "\tSTART_ANGLE=" + std::to_string(strip.startDegrees) + ";\n" +
         "\tREVERSE=" + flag(strip.reverse) + "\tEXACT_ANGLES=" + flag(strip.exactAngles) +
         "\tDATA_FILE=" + data + ";\n" +
         // Only when chosen, so files written before them stay as they were.
         (sheet.fps != kDefaultFps ? "\tFPS=" + std::to_string(sheet.fps) + ";\n" : "") +
         "\tTURNING=" + turning + ";\n" + (strip.trim ? "\tTRIM=TRUE;\n" : "") +
         (strip.pack ? "\tPACK=TRUE;\n" : "") + (strip.bleed ? "\tBLEED=TRUE;\n" : "") +
         (strip.extrude > 0 ? "\tEXTRUDE=" + std::to_string(strip.extrude) + ";\n" : "") +
         (sheet.normals.On() ? "\tNORMAL_MAP_SUFFIX=" + sheet.normals.suffix + ";\n" : "") +
         (sheet.normals.y == NormalY::kDown ? "\tNORMAL_Y=DOWN;\n" : "") + "[/SHEET]\n";
}

// How the window shows the sheet, and the pictures last opened, in a third
// section, written only when some choice differs from its default.
void ReadWindowSection(ConfigFile& config, AppSettings& settings) {
  ViewChoices view;
  std::string text;
  config.GetString("WINDOW|ZOOM", text);
  const int zoom = config.GetInt("WINDOW|ZOOM");
  if (text == "FIT") {
    view.zoom = ViewChoices::kFit;
  } else if (zoom == 2 || zoom == 4 || zoom == 8) {
    view.zoom = zoom;
  }
  const int speed = config.GetInt("WINDOW|SPEED");
  if (speed == 5 || speed == 10 || speed == 20 || speed == 30) view.speed = speed;
  const int width = config.GetInt("WINDOW|WIDTH");
  const int height = config.GetInt("WINDOW|HEIGHT");
  if (width > 0 && height > 0) view.width = width, view.height = height;
  for (int i = 1; i <= kRecentFiles; ++i) {
    config.GetString("WINDOW|RECENT_" + std::to_string(i), text);
    if (!text.empty()) view.recent.push_back(text);
  }
  settings.View = view;
}

std::string WindowSection(const AppSettings& settings) {
  ViewChoices view = settings.View;
  // Names the format cannot hold, or that would read as other keys, are
  // not kept.
  std::erase_if(view.recent, [](const std::string& path) {
    return path.empty() || path.find_first_of(";=[") != std::string::npos;
  });
  if (view.recent.size() > std::size_t(kRecentFiles)) view.recent.resize(kRecentFiles);
  if (view == ViewChoices{}) return {};
  std::string text = "[WINDOW]\n\tZOOM=" +
                     (view.zoom == ViewChoices::kFit ? "FIT" : std::to_string(view.zoom)) +
                     ";\n\tSPEED=" + std::to_string(view.speed) +
                     ";\n\tWIDTH=" + std::to_string(view.width) +
                     ";\n\tHEIGHT=" + std::to_string(view.height) + ";\n";
  for (std::size_t i = 0; i < view.recent.size(); ++i) {
    text += "\tRECENT_" + std::to_string(i + 1) + "=" + view.recent[i] + ";\n";
  }
  return text + "[/WINDOW]\n";
}

// The file's text, from `settings`.
std::string SettingsText(const AppSettings& settings) {
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  return std::string("[HULLSPIN]\n") + "\tFRAMES=" + std::to_string(settings.Frames) + ";\n" +
         "\tDEFAULT_DIR_PATH=" + settings.DefaultDirPath + ";\n" +
         "\tIS_COMPRESSED=" + flag(settings.IsCompressed) +
         "\tIS_8BIT_SAVE=" + flag(settings.Is8BitSave) + "\tHAS_MASK=" + flag(settings.HasMask) +
         "[/HULLSPIN]\n" + SheetSection(settings) + WindowSection(settings);
}

void ApplySettings(ConfigFile& config, AppSettings& settings) {
  SetFrameCount(settings, config.GetInt("HULLSPIN|FRAMES"));
  config.GetString("HULLSPIN|DEFAULT_DIR_PATH", settings.DefaultDirPath);
  const bool mask = config.GetBool("HULLSPIN|HAS_MASK");
  const bool eightBit = config.GetBool("HULLSPIN|IS_8BIT_SAVE");
  const bool compressed = config.GetBool("HULLSPIN|IS_COMPRESSED");
  SetSaveOptions(settings, compressed, eightBit, mask);
  ReadSheetSection(config, settings);
  ReadWindowSection(config, settings);
}

// Whether `text` reads back as the settings it was made from: read and
// written again, it comes out the same.
bool ReadsBack(const std::string& text) {
  AppSettings read;
  ConfigFile config;
  config.SetText(text);
  ApplySettings(config, read);
  return SettingsText(read) == text;
}

// The text to store. The format has no escapes: a folder whose name would
// read back cut short or as other settings (";", "HAS_MASK=TRUE;",
// "[/HULLSPIN]") is not stored, and the one the file at `path` holds stays,
// or none. Where even none would not read back, the folder is not to blame.
std::string StorableText(const AppSettings& settings, const std::string& path) {
  std::string text = SettingsText(settings);
  if (ReadsBack(text)) return text;
  AppSettings stored = settings;
  ConfigFile old;
  old.Load(path);
  old.GetString("HULLSPIN|DEFAULT_DIR_PATH", stored.DefaultDirPath);
  if (!ReadsBack(SettingsText(stored))) stored.DefaultDirPath.clear();
  if (ReadsBack(SettingsText(stored))) text = SettingsText(stored);
  return text;
}

}  // namespace

std::string SettingsFilePath(const AppState& state) {
  return SettingsFileLocation(ExecutableDirectory(state));
}

void ReadSettingsFile(const AppState& state, AppSettings& settings) {
  ConfigFile config;
  config.Load(SettingsFilePath(state));
  ApplySettings(config, settings);
}

bool WriteSettingsFile(const AppState& state, const AppSettings& settings, std::string* reason) {
  std::filesystem::path path = SettingsFilePath(state);
  std::error_code error;
  // A link there is followed: the file it leads to gets the text, and the
  // link stays.
  for (int links = 0; links < 40 && std::filesystem::is_symlink(path, error); ++links) {
    const std::filesystem::path next = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    SetReason(reason, error.message());
    return false;
  }
  // A file made read-only keeps what it holds.
  if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0) {
    SetReason(reason, SystemError());
    return false;
  }
  // Nor is one that could not be read written over with the defaults: a
  // FIFO, a device, a file the user may not read.
  if (const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) {
    struct stat status;
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    close(fd);
    if (!regular) {
      SetReason(reason, "it is not a regular file, so it was not read and is left as it is");
      return false;
    }
  } else if (errno != ENOENT) {
    SetReason(reason, "it could not be read (" + SystemError() + "), so it is left as it is");
    return false;
  }
  const std::string text = StorableText(settings, path);
  std::string why;
  const bool written = WriteReplacing(
      path,
      [&](std::FILE* file, std::string&) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
               std::fflush(file) == 0 && fsync(fileno(file)) == 0;
      },
      &why);
  if (!written) SetReason(reason, why);
  return written;
}
