// Feeds any settings text and any key paths to ConfigFile, and checks every
// answer against a plain descent that follows the reading rules step by
// step, with no section chain and nothing clever.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/config_file.h"

namespace {

std::string file;

// What Load makes of the file's bytes: cut at the first NUL, CR LF read as LF.
std::string LoadedText(std::string text) {
  text.resize(std::min(text.size(), text.find('\0')));
  std::string folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    folded += text[i];
  }
  return folded;
}

std::string_view Section(std::string_view text, std::string_view name) {
  const std::size_t open = text.find("[" + std::string(name) + "]");
  const std::size_t close = text.find("[/" + std::string(name) + "]");
  if (open == std::string_view::npos || close == std::string_view::npos) return {};
  if (close < open) return text.substr(open);
  return text.substr(open, close - open - 1);
}

std::string Lookup(std::string_view text, std::string_view keyPath) {
  std::size_t bar;
  while ((bar = keyPath.find('|')) != std::string_view::npos) {
    text = Section(text, keyPath.substr(0, bar));
    if (text.empty()) return "";
    keyPath.remove_prefix(bar + 1);
  }
  const std::string needle = std::string(keyPath) + "=";
  const std::size_t found = text.find(needle);
  if (found == std::string_view::npos) return "";
  const std::size_t end = text.find(';', found + needle.size());
  if (end == std::string_view::npos) return "";
  return std::string(text.substr(found + needle.size(), end - found - needle.size()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  file = "/dev/shm/gyrelle-config-fuzz-" + std::to_string(getpid()) + ".txt";
  std::atexit([] { std::remove(file.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::string> paths(input.ConsumeIntegralInRange(1, 6));
  for (auto& path : paths) path = input.ConsumeRandomLengthString(300);
  const std::string text = input.ConsumeRemainingBytesAsString();
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
    std::abort();
  }

  ConfigFile config;
  if (!config.Load(file)) std::abort();
  const std::string loaded = LoadedText(text);
  for (const auto& path : paths) {
    std::string value = "stale";
    config.GetString(path, value);
    if (value != Lookup(loaded, path)) std::abort();
    config.GetInt(path);
    config.GetBool(path);
  }
  return 0;
}
