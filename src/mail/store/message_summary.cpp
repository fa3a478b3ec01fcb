#include "mail/store/message_summary.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/charset.h"
#include "platform/file_reader.h"
#include "platform/text.h"

namespace vyr {

namespace {

bool IsBlank(char c) { return platform::kTypedBlanks.find(c) != std::string_view::npos; }

// Leading blanks skipped, cut at the value limit, trailing blanks removed.
std::string CleanValue(std::string_view v) {
  while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
  if (v.size() > kMaxHeaderValue) v = v.substr(0, kMaxHeaderValue);
  while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
  return std::string(v);
}

// The part of a structured value before its parameters.
std::string MainValue(std::string_view v) {
  size_t semi = v.find(';');
  return CleanValue(semi == std::string_view::npos ? v : v.substr(0, semi));
}

struct Parameter {
  std::string name;  // lower case
  std::string value;
};

// "; name=value; name2=\"quoted \\\" value\"" after the main value.
std::vector<Parameter> ParseParameters(std::string_view v) {
  std::vector<Parameter> params;
  size_t i = v.find(';');
  if (i == std::string_view::npos) return params;
  ++i;
  while (i < v.size()) {
    while (i < v.size() && (IsBlank(v[i]) || v[i] == ';')) ++i;
    if (i >= v.size()) break;
    size_t nameStart = i;
    while (i < v.size() && v[i] != '=' && v[i] != ';') ++i;
    Parameter p;
    for (char c : platform::TrimView(v.substr(nameStart, i - nameStart), platform::kTypedBlanks)) {
      p.name += platform::AsciiLower(c);
    }
    if (i < v.size() && v[i] == '=') {
      ++i;
      while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
      if (i < v.size() && v[i] == '"') {
        ++i;
        while (i < v.size() && v[i] != '"') {
          if (v[i] == '\\' && i + 1 < v.size()) ++i;
          p.value += v[i++];
        }
        // Whatever follows the closing quote up to the next ";" is not part
        // of the value.
        while (i < v.size() && v[i] != ';') ++i;
      } else {
        size_t valueStart = i;
        while (i < v.size() && v[i] != ';') ++i;
        p.value = std::string(platform::TrimView(v.substr(valueStart, i - valueStart), platform::kTypedBlanks));
      }
    } else {
      continue;  // a name without a value carries nothing
    }
    if (!p.name.empty()) params.push_back(std::move(p));
  }
  return params;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = platform::AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// RFC 2231 extended value: "%XX" escapes; the first segment may start with
// "charset'language'", which is dropped (the bytes are kept as they are).
std::string DecodeExtended(std::string_view v, bool first) {
  if (first) {
    size_t q1 = v.find('\'');
    if (q1 != std::string_view::npos) {
      size_t q2 = v.find('\'', q1 + 1);
      if (q2 != std::string_view::npos) v.remove_prefix(q2 + 1);
    }
  }
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '%' && i + 2 < v.size()) {
      int hi = HexDigit(v[i + 1]), lo = HexDigit(v[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += v[i];
  }
  return out;
}

const Parameter* FindParameter(const std::vector<Parameter>& params, const std::string& name) {
  for (const Parameter& p : params) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

std::string Cut(std::string s) {
  if (s.size() > kMaxHeaderValue) s.resize(kMaxHeaderValue);
  return s;
}

// A value as the list and the viewer show it: decoded, without the blanks
// at its ends, cut at the value limit where no character is split.
std::string DisplayValue(std::string_view v) {
  std::string text = DecodeHeaderText(platform::TrimView(v, platform::kTypedBlanks));
  if (text.size() > kMaxHeaderValue) {
    size_t cut = kMaxHeaderValue;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

std::string LookUp(const std::vector<Parameter>& params, std::string_view nameIn) {
  std::string name;
  for (char c : nameIn) name += platform::AsciiLower(c);
  if (const Parameter* p = FindParameter(params, name)) return Cut(p->value);
  if (const Parameter* p = FindParameter(params, name + "*")) return Cut(DecodeExtended(p->value, true));
  // Continuations: name*0, name*1 ... each either plain or extended ("*").
  std::string joined;
  bool any = false;
  for (int k = 0; k < 1000 && joined.size() <= kMaxHeaderValue; ++k) {
    const std::string base = name + "*" + std::to_string(k);
    if (const Parameter* p = FindParameter(params, base)) {
      joined += p->value;
    } else if (const Parameter* e = FindParameter(params, base + "*")) {
      joined += DecodeExtended(e->value, k == 0);
    } else {
      break;
    }
    any = true;
  }
  return any ? Cut(std::move(joined)) : std::string();
}

// Leading decimal number with an optional sign, like atoi, held within int.
int ParseNumber(std::string_view s) {
  s = platform::TrimView(s, platform::kTypedBlanks);
  bool negative = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long long v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

struct ScanState {
  bool from = false, subject = false, to = false, cc = false, bcc = false, date = false, replyTo = false;
  bool mimeVersion = false, contentType = false, encoding = false, disposition = false;
  std::string typeName, dispositionName;
};

void ApplyHeader(std::string_view line, MessageSummary& out, ScanState& st) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return;
  std::string_view name = line.substr(0, colon);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  std::string_view value = line.substr(colon + 1);

  auto simple = [&](const char* header, bool& seen, std::string& field, bool shownText = false) {
    if (seen || !platform::EqualsNoCase(name, header)) return false;
    seen = true;
    field = shownText ? DisplayValue(value) : CleanValue(value);
    return true;
  };
  if (simple("from", st.from, out.from, true) || simple("subject", st.subject, out.subject, true) ||
      simple("to", st.to, out.to, true) || simple("cc", st.cc, out.cc, true) ||
      simple("bcc", st.bcc, out.bcc, true) || simple("reply-to", st.replyTo, out.replyTo, true) ||
      simple("date", st.date, out.date) ||
      simple("mime-version", st.mimeVersion, out.mimeVersion)) {
    return;
  }
  if (!st.contentType && platform::EqualsNoCase(name, "content-type")) {
    st.contentType = true;
    out.contentType = MainValue(value);
    const auto params = ParseParameters(value);
    st.typeName = LookUp(params, "name");
    out.boundary = LookUp(params, "boundary");
    out.id = LookUp(params, "id");
    out.number = ParseNumber(LookUp(params, "number"));
    out.total = ParseNumber(LookUp(params, "total"));
    return;
  }
  if (!st.encoding && platform::EqualsNoCase(name, "content-transfer-encoding")) {
    st.encoding = true;
    out.contentTransferEncoding = MainValue(value);
    return;
  }
  if (!st.disposition && platform::EqualsNoCase(name, "content-disposition")) {
    st.disposition = true;
    const auto params = ParseParameters(value);
    st.dispositionName = LookUp(params, "filename");
    if (st.dispositionName.empty()) st.dispositionName = LookUp(params, "name");
  }
}

}  // namespace

void ScanHeaders(std::string_view text, MessageSummary& out) {
  out.from.clear();
  out.subject.clear();
  out.to.clear();
  out.cc.clear();
  out.bcc.clear();
  out.replyTo.clear();
  out.date.clear();
  out.mimeVersion.clear();
  out.contentType.clear();
  out.contentTransferEncoding.clear();
  out.fileName.clear();
  out.boundary.clear();
  out.id.clear();
  out.number = 0;
  out.total = 0;

  ScanState st;
  std::string current;  // the header line being unfolded
  bool haveCurrent = false;
  auto flush = [&] {
    if (haveCurrent) ApplyHeader(current, out, st);
    current.clear();
    haveCurrent = false;
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // end of the header block
    if (line.front() == ' ' || line.front() == '\t') {
      // A continuation: belongs to the line before it (ignored when there
      // is none). Only as much as can matter is kept.
      if (haveCurrent && current.size() < kHeaderReadLimit) {
        std::string_view rest = line;
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
        if (!rest.empty()) {
          current += ' ';
          current.append(rest);
        }
      }
      continue;
    }
    flush();
    current.assign(line);
    haveCurrent = true;
  }
  flush();
  out.fileName = !st.typeName.empty() ? st.typeName : st.dispositionName;
}

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool DecodeBase64Word(std::string_view text, std::string& out) {
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const int v = Base64Value(c);
    if (v < 0) return false;
    bits = (bits << 6) | static_cast<unsigned>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return true;
}

bool DecodeQWord(std::string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=') {
      if (i + 2 >= text.size()) return false;
      const int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return true;
}

// One encoded word starting at text[pos] ("=?"): its decoded UTF-8 text and
// where it ends. False when it is not a well-formed encoded word.
bool DecodeEncodedWord(std::string_view text, size_t pos, std::string& decoded, size_t& end) {
  const size_t charsetEnd = text.find('?', pos + 2);
  if (charsetEnd == std::string_view::npos || charsetEnd == pos + 2) return false;
  if (charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return false;
  const char encoding = platform::AsciiLower(text[charsetEnd + 1]);
  const size_t dataStart = charsetEnd + 3;
  const size_t close = text.find("?=", dataStart);
  if (close == std::string_view::npos) return false;
  const std::string_view charset = text.substr(pos + 2, charsetEnd - pos - 2);
  const std::string_view data = text.substr(dataStart, close - dataStart);
  if (charset.find_first_of(" \t") != std::string_view::npos || data.find_first_of(" \t") != std::string_view::npos) {
    return false;
  }
  std::string bytes;
  if (encoding == 'b') {
    if (!DecodeBase64Word(data, bytes)) return false;
  } else if (encoding == 'q') {
    if (!DecodeQWord(data, bytes)) return false;
  } else {
    return false;
  }
  decoded = platform::TextToUtf8(bytes, charset);
  for (char& c : decoded) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  end = close + 2;
  return true;
}

}  // namespace

std::string DecodeHeaderText(std::string_view text) {
  std::string out;
  std::string plain;  // text between encoded words, converted as a whole
  bool afterWord = false;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '=' && i + 1 < text.size() && text[i + 1] == '?') {
      std::string decoded;
      size_t end = 0;
      if (DecodeEncodedWord(text, i, decoded, end)) {
        // Blanks between two encoded words are not part of the text.
        if (!(afterWord && plain.find_first_not_of(" \t") == std::string::npos)) {
          out += platform::UndeclaredToUtf8(plain);
        }
        plain.clear();
        out += decoded;
        afterWord = true;
        i = end;
        continue;
      }
    }
    plain += text[i++];
  }
  out += platform::UndeclaredToUtf8(plain);
  return out;
}

std::string HeaderParameter(std::string_view value, std::string_view name) {
  return LookUp(ParseParameters(value), name);
}

std::int32_t HeaderChecksum(std::string_view s) {
  if (s.size() <= 1) return static_cast<std::int32_t>(s.size()) - 1;
  const size_t n = s.size() - 1;
  std::uint32_t h = static_cast<std::uint32_t>(n);
  for (size_t i = 0; i < n; ++i) {
    const auto a = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(s[i])));
    const auto b = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(s[n - i])));
    h = 2u * (h + a + b);
  }
  return static_cast<std::int32_t>(h);
}

namespace {

// "name:" at the very start of the line, without regard to case.
bool StartsWithHeader(std::string_view line, std::string_view nameWithColon) {
  return platform::StartsWithNoCase(line, nameWithColon);
}

}  // namespace

std::string MessageKeyOfHeaders(std::string_view text) {
  enum { kFrom, kTo, kCc, kSubject, kDate, kContentType, kFields };
  static constexpr std::string_view kNames[kFields] = {"from:", "to:", "cc:", "subject:", "date:",
                                                       "content-type:"};
  bool present[kFields] = {};
  std::string_view values[kFields];

  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // end of the header block
    for (int f = 0; f < kFields; ++f) {
      if (!present[f] && StartsWithHeader(line, kNames[f])) {
        present[f] = true;
        values[f] = line.substr(kNames[f].size());
        break;
      }
    }
  }

  std::uint32_t sum = 0;
  auto add = [&sum](std::string_view value) { sum += static_cast<std::uint32_t>(HeaderChecksum(value)); };
  for (int f : {kFrom, kTo, kCc, kSubject, kDate}) {
    if (present[f]) add(CleanValue(values[f]));
  }
  if (present[kContentType]) {
    const std::string_view type = values[kContentType];
    const auto params = ParseParameters(type);
    for (const char* name : {"boundary", "id"}) {
      if (const Parameter* p = FindParameter(params, name)) add(Cut(p->value));
    }
    add(MainValue(type));
    if (const Parameter* p = FindParameter(params, "number")) sum += static_cast<std::uint32_t>(ParseNumber(p->value));
    if (const Parameter* p = FindParameter(params, "total")) sum += static_cast<std::uint32_t>(ParseNumber(p->value));
  }
  std::string key = "X_" + std::to_string(static_cast<std::int32_t>(sum));
  for (char& c : key) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) c = '-';
  }
  return key;
}

bool ReadHeaderBlock(const std::string& path, std::string& header, HeaderBlockInfo* info) {
  platform::FileReader file(path);
  if (info) *info = HeaderBlockInfo{};
  if (!file.IsOpen()) return false;
  return ReadHeaderBlock(file, header, info);
}

bool ReadHeaderBlock(platform::FileReader& file, std::string& header, HeaderBlockInfo* info) {
  if (info) *info = HeaderBlockInfo{};
  std::string data;
  char buf[4096];
  for (;;) {
    const size_t want = std::min(sizeof buf, kHeaderReadLimit - data.size());
    if (want == 0) break;
    const long got = file.Read(buf, want);
    if (got < 0) {
      if (info) info->notAFile = errno == EISDIR;
      return false;
    }
    if (info) info->bytesRead += static_cast<size_t>(got);
    if (got == 0) break;
    const size_t searchFrom = data.size() >= 2 ? data.size() - 2 : 0;
    data.append(buf, static_cast<size_t>(got));
    // The header block ends at an empty line: a line break at the very
    // start, or two line breaks with at most a carriage return between.
    if (data[0] == '\n' || (data.size() >= 2 && data[0] == '\r' && data[1] == '\n')) break;
    size_t end = std::string::npos;
    for (size_t i = data.find('\n', searchFrom); i != std::string::npos; i = data.find('\n', i + 1)) {
      size_t next = i + 1;
      if (next < data.size() && data[next] == '\r') ++next;
      if (next < data.size() && data[next] == '\n') {
        end = next + 1;
        break;
      }
    }
    if (end != std::string::npos) {
      data.resize(end);
      break;
    }
    if (static_cast<size_t>(got) < want) break;  // end of file
  }
  header.swap(data);
  return true;
}

}  // namespace vyr
