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
#include "image/atomic_file.h"
#include "image/reasons.h"
#include "settings/config_file.h"
#include "settings/settings_location.h"

namespace {

// The Sheet Options choices live in a section of their own, written only
// when some choice differs from its default: everyone else's file stays as
// it always was. Values that make no sense fall back to the defaults.
void ReadSheetSection(ConfigFile& config) {
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
  sheet.data = text == "JSON_HASH"    ? DataFormat::kJsonHash
               : text == "JSON_ARRAY" ? DataFormat::kJsonArray
                                      : DataFormat::kNone;
  text.clear();
  config.GetString("SHEET|TURNING", text);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  strip.method = TurnMethodNamed(text).value_or(TurnMethod::kLibrary);
  g_appSettings.Sheet = sheet;
}

std::string SheetSection() {
  const SheetChoices& sheet = g_appSettings.Sheet;
  if (sheet == SheetChoices{}) return {};
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  const StripOptions& strip = sheet.strip;
  std::string turning(TurnMethodName(strip.method));
  std::transform(turning.begin(), turning.end(), turning.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  const char* data = sheet.data == DataFormat::kJsonHash    ? "JSON_HASH"
                     : sheet.data == DataFormat::kJsonArray ? "JSON_ARRAY"
                                                            : "NONE";
  return std::string("[SHEET]\n") + "\tTRANSPARENT=" + flag(strip.alpha) +
         "\tFRAME_SIZE=" + (strip.frameSize.kind == FrameSize::Kind::kFit ? "FIT" : "KEEP") +
         ";\n" + "\tCOLUMNS=" + std::to_string(strip.columns) + ";\n" +
         "\tSPACING=" + std::to_string(strip.spacing) + ";\n" +
         "\tSTART_ANGLE=" + std::to_string(strip.startDegrees) + ";\n" +
         "\tREVERSE=" + flag(strip.reverse) + "\tEXACT_ANGLES=" + flag(strip.exactAngles) +
         "\tDATA_FILE=" + data + ";\n" + "\tTURNING=" + turning + ";\n[/SHEET]\n";
}

// The file's text, from g_appSettings.
std::string SettingsText() {
  auto flag = [](bool set) { return set ? "TRUE;\n" : "FALSE;\n"; };
  return std::string("[HULLSPIN]\n") + "\tFRAMES=" + std::to_string(g_appSettings.Frames) + ";\n" +
         "\tDEFAULT_DIR_PATH=" + g_appSettings.DefaultDirPath + ";\n" +
         "\tIS_COMPRESSED=" + flag(g_appSettings.IsCompressed) +
         "\tIS_8BIT_SAVE=" + flag(g_appSettings.Is8BitSave) +
         "\tHAS_MASK=" + flag(g_appSettings.HasMask) + "[/HULLSPIN]\n" + SheetSection();
}

void ApplySettings(ConfigFile& config) {
  SetFrameCount(config.GetInt("HULLSPIN|FRAMES"));
  config.GetString("HULLSPIN|DEFAULT_DIR_PATH", g_appSettings.DefaultDirPath);
  const bool mask = config.GetBool("HULLSPIN|HAS_MASK");
  const bool eightBit = config.GetBool("HULLSPIN|IS_8BIT_SAVE");
  const bool compressed = config.GetBool("HULLSPIN|IS_COMPRESSED");
  SetSaveOptions(compressed, eightBit, mask);
  ReadSheetSection(config);
}

// Whether `text` reads back as the settings it was made from: read and
// written again, it comes out the same.
bool ReadsBack(const std::string& text) {
  const AppSettings kept = g_appSettings;
  ConfigFile config;
  config.SetText(text);
  ApplySettings(config);
  const bool same = SettingsText() == text;
  g_appSettings = kept;
  return same;
}

// The text to store. The format has no escapes: a folder whose name would
// read back cut short or as other settings (";", "HAS_MASK=TRUE;",
// "[/HULLSPIN]") is not stored, and the one the file at `path` holds stays,
// or none. Where even none would not read back, the folder is not to blame.
std::string StorableText(const std::string& path) {
  std::string text = SettingsText();
  if (ReadsBack(text)) return text;
  const AppSettings kept = g_appSettings;
  ConfigFile old;
  old.Load(path);
  old.GetString("HULLSPIN|DEFAULT_DIR_PATH", g_appSettings.DefaultDirPath);
  if (!ReadsBack(SettingsText())) g_appSettings.DefaultDirPath.clear();
  if (ReadsBack(SettingsText())) text = SettingsText();
  g_appSettings = kept;
  return text;
}

}  // namespace

std::string SettingsFilePath() {
  return SettingsFileLocation(ExecutableDirectory());
}

void ReadSettingsFile() {
  ConfigFile config;
  config.Load(SettingsFilePath());
  ApplySettings(config);
}

bool WriteSettingsFile(std::string* reason) {
  std::filesystem::path path = SettingsFilePath();
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
  const std::string text = StorableText(path);
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
