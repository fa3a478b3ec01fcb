#include "platform/profile_file.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/cached_file.h"
#include "platform/text.h"

namespace vyr::platform {

namespace {

bool IsBlank(char c) { return kProfileBlanks.find(c) != std::string_view::npos; }

// The bytes [begin, end) of s without the profile blanks at either end.
std::string TrimRange(const std::string& s, size_t begin, size_t end) {
  return Trim(std::string_view(s).substr(begin, end - begin), kProfileBlanks);
}

std::string IndexKey(const std::string& section, const std::string& key) {
  std::string k = AsciiLower(section);
  k += '\x01';
  k += AsciiLower(key);
  return k;
}

enum class LineKind { Other, Section, Key };

struct LineInfo {
  LineKind kind = LineKind::Other;
  std::string name;   // section or key name as written
  std::string value;  // key lines only, unquoted
};

LineInfo Classify(const std::string& line) {
  LineInfo info;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i < line.size() && line[i] == '[') {
    size_t close = line.find(']', i + 1);
    if (close == std::string::npos) close = line.size();
    info.kind = LineKind::Section;
    info.name = TrimRange(line, i + 1, close);
    return info;
  }
  size_t eq = line.find('=');
  if (eq == std::string::npos) return info;
  std::string key = TrimRange(line, 0, eq);
  if (key.empty()) return info;
  std::string value = TrimRange(line, eq + 1, line.size());
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  info.kind = LineKind::Key;
  info.name = std::move(key);
  info.value = std::move(value);
  return info;
}

// One file's text, line by line, with an index for reads.
struct ProfileDocument {
  std::vector<std::string> lines;
  std::string eol = "\n";
  std::unordered_map<std::string, std::string> values;  // first section, first key
  std::vector<std::string> sectionNames;

  // CR, LF and CR LF each end a line. A rewrite uses the file's first line
  // end for every line, so a file written with lone CRs stays in that form.
  void Parse(const std::string& data) {
    lines.clear();
    eol = "\n";
    size_t pos = 0;
    bool first = true;
    while (pos < data.size()) {
      const size_t end = data.find_first_of("\r\n", pos);
      if (end == std::string::npos) {
        lines.emplace_back(data, pos);
        break;
      }
      lines.emplace_back(data, pos, end - pos);
      size_t next = end + 1;
      if (data[end] == '\r' && next < data.size() && data[next] == '\n') ++next;
      if (first) eol = data.substr(end, next - end);
      first = false;
      pos = next;
    }
    Reindex();
  }

  void Reindex() {
    values.clear();
    sectionNames.clear();
    std::unordered_set<std::string> seenSections;
    std::string current;
    bool active = false;  // inside the first section of its name
    for (const std::string& line : lines) {
      LineInfo info = Classify(line);
      if (info.kind == LineKind::Section) {
        current = AsciiLower(info.name);
        active = seenSections.insert(current).second;
        if (active) sectionNames.push_back(info.name);
      } else if (info.kind == LineKind::Key && active) {
        values.try_emplace(current + '\x01' + AsciiLower(info.name), std::move(info.value));
      }
    }
  }

  std::string Serialize() const {
    std::string out;
    for (const std::string& line : lines) {
      out += line;
      out += eol;
    }
    return out;
  }

  // Index of the first header of the section, or npos.
  size_t FindSection(const std::string& lowerSection) const {
    for (size_t i = 0; i < lines.size(); ++i) {
      LineInfo info = Classify(lines[i]);
      if (info.kind == LineKind::Section && AsciiLower(info.name) == lowerSection) return i;
    }
    return std::string::npos;
  }

  // One past the last line belonging to the section that starts at header.
  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines.size() && Classify(lines[i]).kind != LineKind::Section) ++i;
    return i;
  }

  // Index just after the last non-blank line of the section.
  size_t InsertionPoint(size_t header) const {
    size_t end = SectionEnd(header);
    size_t at = end;
    while (at > header + 1 && TrimRange(lines[at - 1], 0, lines[at - 1].size()).empty()) --at;
    return at;
  }

  size_t FindKey(size_t header, const std::string& lowerKey) const {
    size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
      LineInfo info = Classify(lines[i]);
      if (info.kind == LineKind::Key && AsciiLower(info.name) == lowerKey) return i;
    }
    return std::string::npos;
  }
};

CachedFileStore<ProfileDocument>& Store() {
  static CachedFileStore<ProfileDocument> store;
  return store;
}

template <typename Fn>
auto WithDocument(const std::string& path, Fn&& fn) {
  return Store().Read(path, std::forward<Fn>(fn));
}

template <typename Fn>
bool ModifyDocument(const std::string& path, Fn&& change) {
  return Store().Modify(path, std::forward<Fn>(change));
}

std::string OneLine(const std::string& value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

std::optional<std::string> ReadProfileValue(const std::string& path, const std::string& section,
                                            const std::string& key) {
  const std::string index = IndexKey(section, key);
  return WithDocument(path, [&](const ProfileDocument& doc) -> std::optional<std::string> {
    auto it = doc.values.find(index);
    if (it == doc.values.end()) return std::nullopt;
    return it->second;
  });
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path,
                                    size_t bufferSize) {
  std::optional<std::string> value = ReadProfileValue(path, section, key);
  if (!value) {
    // A default's trailing blanks are dropped, as a read of the value would.
    size_t end = defaultValue.find_last_not_of(" \t");
    value = defaultValue.substr(0, end == std::string::npos ? 0 : end + 1);
  }
  if (bufferSize > 0 && value->size() > bufferSize - 1) value->resize(bufferSize - 1);
  return *value;
}

std::optional<int> ParseProfileInt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  long long n = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    if (n < 10000000000LL) n = n * 10 + (text[i] - '0');
  }
  if (!any) return 0;
  if (negative) n = -n;
  return static_cast<int>(static_cast<unsigned int>(n));  // wraps like a 32-bit read
}

int GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path) {
  auto value = ReadProfileValue(path, section, key);
  if (!value) return defaultValue;
  return ParseProfileInt(*value).value_or(defaultValue);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
  const std::string line = key + "=" + OneLine(value);
  const std::string lowerSection = AsciiLower(section), lowerKey = AsciiLower(key);
  return ModifyDocument(path, [&](ProfileDocument& doc) {
    size_t header = doc.FindSection(lowerSection);
    if (header == std::string::npos) {
      doc.lines.push_back("[" + section + "]");
      doc.lines.push_back(line);
      return true;
    }
    size_t at = doc.FindKey(header, lowerKey);
    if (at != std::string::npos) {
      if (doc.lines[at] == line) return false;
      doc.lines[at] = line;
    } else {
      size_t insert = doc.InsertionPoint(header);
      doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insert), line);
    }
    return true;
  });
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const std::string& path) {
  const std::string lowerSection = AsciiLower(section), lowerKey = AsciiLower(key);
  return ModifyDocument(path, [&](ProfileDocument& doc) {
    size_t header = doc.FindSection(lowerSection);
    if (header == std::string::npos) return false;
    size_t at = doc.FindKey(header, lowerKey);
    if (at == std::string::npos) return false;
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
  });
}

bool WritePrivateProfileSection(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& pairs,
                                const std::string& path) {
  const std::string lowerSection = AsciiLower(section);
  return ModifyDocument(path, [&](ProfileDocument& doc) {
    std::vector<std::string> body;
    for (const auto& [k, v] : pairs) body.push_back(k + "=" + OneLine(v));
    size_t header = doc.FindSection(lowerSection);
    if (header == std::string::npos) {
      doc.lines.push_back("[" + section + "]");
      doc.lines.insert(doc.lines.end(), body.begin(), body.end());
      return true;
    }
    // Keep blank and comment lines at the end of the section (they usually
    // separate it from the next one); replace everything else.
    size_t end = doc.InsertionPoint(header);
    doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(header + 1),
                    doc.lines.begin() + static_cast<std::ptrdiff_t>(end));
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(header + 1), body.begin(),
                     body.end());
    return true;
  });
}

std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path,
                                                                     const std::string& section) {
  const std::string lowerSection = AsciiLower(section);
  return WithDocument(path, [&](const ProfileDocument& doc) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t header = doc.FindSection(lowerSection);
    if (header == std::string::npos) return out;
    std::unordered_set<std::string> seen;
    size_t end = doc.SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
      LineInfo info = Classify(doc.lines[i]);
      if (info.kind == LineKind::Key && seen.insert(AsciiLower(info.name)).second) {
        out.emplace_back(info.name, info.value);
      }
    }
    return out;
  });
}

std::vector<std::string> ReadProfileSectionNames(const std::string& path) {
  return WithDocument(path, [](const ProfileDocument& doc) { return doc.sectionNames; });
}

void ClearProfileCache() { Store().Clear(); }

}  // namespace vyr::platform
