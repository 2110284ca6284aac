#include "settings/config_file.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
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

// The first `needle` in `text` at or after `from`, or npos. glibc's memmem
// takes time linear in both lengths, where string_view::find can take their
// product.
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  const std::string_view rest = text.substr(from);
  if (needle.size() > rest.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  const void* found = memmem(rest.data(), rest.size(), needle.data(), needle.size());
  return found == nullptr ? std::string_view::npos
                          : std::size_t(static_cast<const char*>(found) - text.data());
}

// Several tags, each sought from a start of its own: the first place of each
// at or after its start, all found in one pass over the text by a matching
// automaton (Aho-Corasick) of the distinct tags. Every tag starts with "[".
class FirstOccurrences {
 public:
  void Add(std::string tag, std::size_t start) {
    auto [known, added] = tagIds_.try_emplace(tag, int(tags_.size()));
    if (added) tags_.push_back({std::move(tag), {}, 0});
    // Starts come in rising order, so each tag's queue is sorted.
    tags_[std::size_t(known->second)].waiting.push_back(starts_.size());
    starts_.push_back(start);
  }

  // The first place of each tag in the order added, in text[from, end), or npos.
  std::vector<std::size_t> Find(std::string_view text, std::size_t from) {
    std::vector<std::size_t> found(starts_.size(), std::string_view::npos);
    if (starts_.empty()) return found;
    Build();
    std::size_t left = starts_.size();
    int state = 0;
    for (std::size_t at = from; at < text.size() && left > 0; ++at) {
      // Every tag starts with "[": outside a partial match, leap to the next.
      if (state == 0) {
        at = text.find('[', at);
        if (at == std::string_view::npos) break;
      }
      const auto c = static_cast<unsigned char>(text[at]);
      int next;
      while ((next = Child(state, c)) < 0 && state != 0) state = nodes_[std::size_t(state)].fail;
      state = next < 0 ? 0 : next;
      for (int node = Live(state); node >= 0; node = Live(nodes_[std::size_t(node)].output)) {
        Tag& tag = tags_[std::size_t(nodes_[std::size_t(node)].tag)];
        const std::size_t place = at + 1 - tag.text.size();
        for (; tag.next < tag.waiting.size() && starts_[tag.waiting[tag.next]] <= place;
             ++tag.next) {
          found[tag.waiting[tag.next]] = place;
          --left;
        }
      }
    }
    return found;
  }

 private:
  struct Tag {
    std::string text;
    std::vector<std::size_t> waiting;  // queries, by rising start
    std::size_t next;                  // the first still waiting
  };
  struct Node {
    std::vector<std::pair<unsigned char, int>> children;  // sorted
    int fail = 0;     // the longest proper suffix that is a node
    int tag = -1;     // the tag that ends here
    int output = -1;  // the next node down the fail links where a tag ends
  };

  int Child(int node, unsigned char c) const {
    const auto& children = nodes_[std::size_t(node)].children;
    const auto it = std::lower_bound(children.begin(), children.end(), std::pair(c, INT_MIN));
    return it != children.end() && it->first == c ? it->second : -1;
  }

  void Build() {
    nodes_.assign(1, Node{});
    for (std::size_t id = 0; id < tags_.size(); ++id) {
      int node = 0;
      for (const char ch : tags_[id].text) {
        const auto c = static_cast<unsigned char>(ch);
        int child = Child(node, c);
        if (child < 0) {
          child = int(nodes_.size());
          auto& children = nodes_[std::size_t(node)].children;
          children.insert(std::lower_bound(children.begin(), children.end(), std::pair(c, INT_MIN)),
                          {c, child});
          nodes_.emplace_back();
        }
        node = child;
      }
      nodes_[std::size_t(node)].tag = int(id);
    }
    std::vector<int> queue{0};
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const int node = queue[head];
      for (const auto& [c, child] : nodes_[std::size_t(node)].children) {
        int fail = node == 0 ? -1 : nodes_[std::size_t(node)].fail;
        int target = -1;
        while (fail >= 0 && (target = Child(fail, c)) < 0) {
          fail = fail == 0 ? -1 : nodes_[std::size_t(fail)].fail;
        }
        Node& n = nodes_[std::size_t(child)];
        n.fail = target < 0 ? 0 : target;
        const Node& f = nodes_[std::size_t(n.fail)];
        n.output = f.tag >= 0 ? n.fail : f.output;
        queue.push_back(child);
      }
    }
  }

  // The first node from `node` down the output links whose tag still has
  // queries waiting. Links past tags that have none left are cut short, so
  // no finished tag is passed twice.
  int Live(int node) {
    int live = node;
    while (live >= 0 && Finished(live)) live = nodes_[std::size_t(live)].output;
    while (node >= 0 && node != live) {
      const int next = nodes_[std::size_t(node)].output;
      nodes_[std::size_t(node)].output = live;
      node = next;
    }
    return live;
  }

  bool Finished(int node) const {
    const int tag = nodes_[std::size_t(node)].tag;
    return tag < 0 || tags_[std::size_t(tag)].next == tags_[std::size_t(tag)].waiting.size();
  }

  std::map<std::string, int> tagIds_;
  std::vector<Tag> tags_;
  std::vector<std::size_t> starts_;
  std::vector<Node> nodes_;
};

}  // namespace

bool ConfigFile::Load(const std::string& path) {
  ClearChain();
  // Only a regular file is read: a FIFO or a device would block or never
  // end, and a directory's reported size is meaningless. Opening without
  // blocking lets a FIFO be told apart before anything waits on it.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return false;
  }
  std::string loaded;
  try {
    loaded.resize(static_cast<std::size_t>(status.st_size));
  } catch (const std::bad_alloc&) {
    close(fd);
    return false;
  } catch (const std::length_error&) {
    close(fd);
    return false;
  }
  // The file may have shrunk since it was measured; a file that grew is read
  // as long as it was when measured.
  std::size_t got = 0;
  while (got < loaded.size()) {
    const ssize_t n = read(fd, loaded.data() + got, loaded.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      // A read error would leave a partial text posing as the file: keep the old one.
      close(fd);
      return false;
    }
    if (n == 0) break;
    got += std::size_t(n);
  }
  close(fd);
  loaded.resize(got);
  SetText(std::move(loaded));
  return true;
}

void ConfigFile::SetText(std::string loaded) {
  ClearChain();
  if (const std::size_t nul = loaded.find('\0'); nul != std::string::npos) loaded.resize(nul);
  FoldLineEnds(loaded);
  text = std::move(loaded);
}

void ConfigFile::GetString(const std::string& keyPath, std::string& value) {
  std::string_view key;
  std::string_view sectionText;
  ResolvePath(keyPath, key, sectionText);
  value.clear();

  // A plain substring search: "MASK=" also matches the end of "HAS_MASK=".
  const std::string needle = std::string(key) + '=';
  const std::size_t found = Find(sectionText, needle, 0);
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

  // Each level's body is the stretch from its open tag to just before its
  // close tag, the first of each within the level above ([start, end) of
  // `text`), or from the open tag to the end of the level above when the
  // close tag comes first. Searched level by level, a deep path would read
  // a deeply nested text once a level; here the open tags are found one
  // after the other, each from the one before, and the close tags all in
  // one pass, so a lookup reads the text about twice whatever its depth.
  const std::string_view whole = text;
  std::size_t start = reused > 0 ? sectionBodies.back().offset : 0;
  std::size_t end = reused > 0 ? start + sectionBodies.back().length : whole.size();
  const std::string_view within = whole.substr(0, end);
  std::vector<std::size_t> opens;
  for (std::size_t i = reused, from = start; i < sections; ++i) {
    from = Find(within, "[" + std::string(parts[i]) + "]", from);
    if (from == std::string_view::npos) break;
    opens.push_back(from);
  }
  FirstOccurrences closes;
  for (std::size_t k = 0; k < opens.size(); ++k) {
    closes.Add("[/" + std::string(parts[reused + k]) + "]", k == 0 ? start : opens[k - 1]);
  }
  const std::vector<std::size_t> closeAt = closes.Find(within, start);

  sectionText = {};
  for (std::size_t i = reused; i < sections; ++i) {
    const std::size_t k = i - reused;
    if (k == opens.size()) return;
    const std::size_t open = opens[k], close = closeAt[k];
    // Tags found in the whole text count only inside the level above.
    if (open + parts[i].size() + 2 > end || close == std::string_view::npos ||
        close + parts[i].size() + 3 > end) {
      return;
    }
    // The body keeps the open tag and drops the one character before the
    // close tag: the line end of the section's last entry in a file as we
    // write it. A stray close tag before the section lets the body run on.
    const std::size_t bodyEnd = close < open ? end : close - 1;
    if (bodyEnd == open) return;
    sectionNames.emplace_back(parts[i]);
    sectionBodies.push_back({open, bodyEnd - open});
    start = open;
    end = bodyEnd;
  }
  sectionText = whole.substr(start, end - start);
}

void ConfigFile::ClearChain() {
  sectionNames.clear();
  sectionBodies.clear();
}
