#include "settings/config_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <system_error>

namespace {

// A file saved on Windows has CR LF line ends; it must read exactly like the
// same file with LF ends, as a text-mode read there would give it.
void FoldLineEnds(std::string& s) {
  if (s.find('\r') == std::string::npos) return;
  std::size_t out = 0;
  for (std::size_t in = 0; in < s.size(); ++in) {
    if (s[in] == '\r' && in + 1 < s.size() && s[in + 1] == '\n') continue;
    s[out++] = s[in];
  }
  s.resize(out);
}

}  // namespace

bool ConfigFile::Load(const std::string& path) {
  ClearChain();
  // A directory opens like a file here, and its reported size is meaningless.
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) return false;

  std::string loaded;
  try {
    loaded.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  in.read(loaded.data(), size);
  // A read error would leave a partial text posing as the file: keep the old one.
  if (in.bad()) return false;
  // The file may have shrunk since it was measured; a file that grew is read
  // as long as it was when measured.
  loaded.resize(static_cast<std::size_t>(in.gcount()));

  if (const std::size_t nul = loaded.find('\0'); nul != std::string::npos) loaded.resize(nul);
  FoldLineEnds(loaded);
  text = std::move(loaded);
  return true;
}

void ConfigFile::GetString(const std::string& keyPath, std::string& value) {
  std::string_view key;
  std::string_view sectionText;
  ResolvePath(keyPath, key, sectionText);
  value.clear();

  // A plain substring search: "MASK=" also matches the end of "HAS_MASK=".
  const std::string needle = std::string(key) + '=';
  const std::size_t found = sectionText.find(needle);
  if (found == std::string_view::npos) return;
  const std::size_t start = found + needle.size();
  const std::size_t end = sectionText.find(';', start);
  if (end == std::string_view::npos) return;
  value.assign(sectionText.substr(start, end - start));
}

int ConfigFile::GetInt(const std::string& keyPath) {
  std::string value;
  GetString(keyPath, value);
  std::string_view rest = value;
  rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(" \t\n\v\f\r")));
  const bool negative = !rest.empty() && rest.front() == '-';
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) rest.remove_prefix(1);

  // Unsigned parsing takes digits only, so a second sign gives no number.
  std::uint32_t magnitude = 0;
  const auto [last, error] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude);
  if (error == std::errc::invalid_argument) return 0;
  // Numbers beyond the 32-bit range saturate to its nearest end.
  if (error == std::errc::result_out_of_range)
    magnitude = std::numeric_limits<std::uint32_t>::max();
  constexpr std::uint32_t kMax = std::numeric_limits<std::int32_t>::max();
  if (negative) {
    return magnitude > kMax ? std::numeric_limits<std::int32_t>::min()
                            : -static_cast<std::int32_t>(magnitude);
  }
  return static_cast<std::int32_t>(std::min(magnitude, kMax));
}

bool ConfigFile::GetBool(const std::string& keyPath) {
  std::string value;
  GetString(keyPath, value);
  return value == "TRUE";
}

void ConfigFile::ResolvePath(std::string_view keyPath, std::string_view& key,
                             std::string_view& sectionText) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t bar = keyPath.find('|', start);
    parts.push_back(keyPath.substr(start, bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  key = parts.back();
  const std::size_t sections = parts.size() - 1;

  // Reuse only the chain's leading levels that this path names the same way:
  // a level is valid only beneath the very sections it was found in.
  std::size_t reused = 0;
  while (reused < sections && reused < sectionNames.size() && sectionNames[reused] == parts[reused])
    ++reused;
  sectionNames.resize(reused);
  sectionBodies.resize(reused);

  const std::string_view whole = text;
  sectionText = whole;
  if (reused > 0)
    sectionText = whole.substr(sectionBodies.back().offset, sectionBodies.back().length);
  for (std::size_t i = reused; i < sections; ++i) {
    sectionText = ExtractSection(sectionText, parts[i]);
    if (sectionText.empty()) return;
    sectionNames.emplace_back(parts[i]);
    sectionBodies.push_back(
        {static_cast<std::size_t>(sectionText.data() - whole.data()), sectionText.size()});
  }
}

std::string_view ConfigFile::ExtractSection(std::string_view within, std::string_view name) {
  const std::string openTag = "[" + std::string(name) + "]";
  const std::string closeTag = "[/" + std::string(name) + "]";
  const std::size_t open = within.find(openTag);
  if (open == std::string_view::npos) return {};
  // The close tag is sought from the start, not after the open tag, so a
  // stray close tag before the section lets the body run to the end.
  const std::size_t close = within.find(closeTag);
  if (close == std::string_view::npos) return {};
  if (close < open) return within.substr(open);
  // The body keeps the open tag and drops the one character before the close
  // tag: the line end of the section's last entry in a file as we write it.
  return within.substr(open, close - open - 1);
}

void ConfigFile::ClearChain() {
  sectionNames.clear();
  sectionBodies.clear();
}
