#include "mail/read/message_decoder.h"

#include "platform/url_canonicalizer.h"

// uudeview.h declares its functions with prototypes only when asked to.
#define PROTOTYPES 1
#include <cstddef>
#include <cstdio>
#include <uudeview.h>
// Where a part's data starts in the message (fileread::startpos): its
// header block, and with it its character set, lies just before.
#include <uuint.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>

#include "mail/store/folder_loader.h"
#include "mail/body/html_to_text.h"
#include "mail/body/text_to_html.h"
#include "platform/charset.h"
#include "platform/file_system.h"
#include "platform/file_times.h"
#include "platform/text.h"

namespace vyr {

namespace fs = std::filesystem;

// A base64 body the viewer decodes itself (see "large parts" below).
struct LargePart {
  size_t begin = 0, end = 0;  // the body in the message
  long copyPos = -1;          // where its placeholder starts in the library's copy
};

// What the library reads for a decode: the message file, or a copy of it
// in the display directory; with the large parts left out of the copy, the
// message's text for decoding them.
struct DecodeSource {
  std::string path;  // empty: the message could not be read
  bool copied = false;
  std::vector<LargePart> large;
  std::string message;
};

namespace {

// Marks a folder as a display directory: only a folder that carries it (or
// is empty) is ever emptied, so a display directory pointed at the wrong
// folder cannot wipe it.
constexpr const char* kDisplayMarker = ".vyrelle-display";
// The copy of the message uulib reads (see PrepareSource). Part names
// never begin with a dot, so no part can take this name.
constexpr const char* kSourceCopy = ".message";
// Longest part name written; longer ones are shortened keeping the extension.
constexpr size_t kMaxPartName = 200;
constexpr size_t kMaxExtension = 16;
constexpr size_t kMaxTypeInName = 64;

void TrimRight(std::string& s) { s.resize(s.find_last_not_of(platform::kWhitespace) + 1); }

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

std::string WithoutSeparator(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

bool IsReadOnlyFile(const fs::file_status& status) {
  return status.type() == fs::file_type::regular &&
         (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool IsForwardFolderName(const std::string& name) {
  return name.rfind(kForwardFolderPrefix, 0) == 0;
}

bool HoldsReadOnlyFile(const std::string& folder) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code statusError;
    if (IsReadOnlyFile(fs::symlink_status(it->path(), statusError)) && !statusError) return true;
  }
  return false;
}

bool EntryExists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::regular && !ec;
}

// Where the first empty line of a text ends: past "\r\n\r\n" or "\n\n"
// (the library writes the parts it decodes with the system's line ends).
// npos when there is none.
size_t EndOfFirstEmptyLine(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    size_t j = i + 1;
    if (j < text.size() && text[j] == '\r') ++j;
    if (j < text.size() && text[j] == '\n') return j + 1;
  }
  return std::string_view::npos;
}

// A header line: a field name (printable ASCII but ":", no blank) and a
// colon.
bool IsHeaderLine(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  for (char c : line.substr(0, colon)) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

// The length of the header block a text begins with, up to and including
// the empty line after it (all of the text when no empty line follows);
// npos when the text does not begin with a header block. Every line before
// the empty line must be a header line or the continuation of one, so a
// body whose first words merely hold a colon keeps them.
size_t LeadingHeaderBlock(std::string_view text) {
  const size_t end = EndOfFirstEmptyLine(text);
  const std::string_view block = text.substr(0, end == std::string_view::npos ? text.size() : end);
  bool first = true;
  for (const std::string& line : platform::SplitLines(block)) {
    if (line.empty()) break;
    const bool continuation = line[0] == ' ' || line[0] == '\t';
    if (continuation ? first : !IsHeaderLine(line)) return std::string_view::npos;
    first = false;
  }
  if (first) return std::string_view::npos;
  return block.size();
}

// The unfolded value of the first header of that name in a header block;
// "" when there is none.
std::string HeaderField(std::string_view block, std::string_view name) {
  const std::string prefix = std::string(name) + ":";
  const std::vector<std::string> lines = platform::SplitLines(block);
  for (size_t k = 0; k < lines.size(); ++k) {
    if (lines[k].empty()) break;
    if (!platform::StartsWithNoCase(lines[k], prefix)) continue;
    std::string value = lines[k].substr(prefix.size());
    for (size_t c = k + 1; c < lines.size() && !lines[c].empty() && (lines[c][0] == ' ' || lines[c][0] == '\t'); ++c) {
      value += lines[c];
    }
    return value;
  }
  return {};
}

// The "charset" of the first Content-Type line of a header block; "" when
// there is none.
std::string CharsetOfHeaderBlock(std::string_view block) {
  return HeaderParameter(HeaderField(block, "content-type"), "charset");
}

// The character set a MIME part declares in its own header block, which
// ends just before the part's data: the lines after the last boundary line
// ("--...") before it. "" when the part's data starts the file (a message
// without MIME parts: its text begins with the message's own header block)
// or nothing is declared.
std::string PartCharset(const std::string& source, const uulist* item) {
  if (!item || !item->thisfile || !item->thisfile->data) return {};
  const long start = item->thisfile->data->startpos;
  if (start <= 0) return {};
  constexpr long kLookBack = 16 * 1024;
  const long from = std::max<long>(0, start - kLookBack);
  std::ifstream in(source, std::ios::binary);
  if (!in) return {};
  std::string region(static_cast<size_t>(start - from), '\0');
  in.seekg(from);
  in.read(region.data(), static_cast<std::streamsize>(region.size()));
  region.resize(static_cast<size_t>(std::max<std::streamsize>(0, in.gcount())));
  while (!region.empty() && (region.back() == '\n' || region.back() == '\r')) region.pop_back();
  // The boundary line before the part: the last line starting with "--".
  size_t boundary = region.rfind("\n--");
  if (boundary != std::string::npos) {
    ++boundary;
  } else if (region.rfind("--", 0) == 0) {
    boundary = 0;
  }
  size_t blockStart = 0;
  if (boundary != std::string::npos) {
    const size_t lineEnd = region.find('\n', boundary);
    blockStart = lineEnd == std::string::npos ? region.size() : lineEnd + 1;
  }
  return CharsetOfHeaderBlock(std::string_view(region).substr(blockStart));
}

// Reads a part as the page writer takes it: 4 KB at a time, each chunk up to
// its first zero byte.
bool ReadPartText(const std::string& path, std::string& text) {
  text.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::array<char, kPartReadChunk> chunk;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    const char* begin = chunk.data();
    const char* end = std::find(begin, begin + got, '\0');
    text.append(begin, end);
  }
  return !in.bad();
}

bool AppendFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return false;
  std::ofstream out(to, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << in.rdbuf();
  return static_cast<bool>(out);
}

// Opens a page for writing: whatever stands under the page's name (a link
// or a leftover) is replaced.
bool CreatePage(const std::string& path, std::ofstream& out) {
  std::error_code ec;
  if (EntryExists(path) && !IsRegularFile(path)) fs::remove(path, ec);
  out.open(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out);
}

// A page the viewer shows: its text is UTF-8, and it says so first thing.
bool CreateShownPage(const std::string& path, std::ofstream& out) {
  if (!CreatePage(path, out)) return false;
  out << kPageCharset;
  return true;
}

// The HTML alternative as the library decoded it, in its own character set:
// rewritten in UTF-8 under the page's declaration.
bool ConvertPageToUtf8(const std::string& path, const std::string& charset) {
  std::string html;
  if (!platform::ReadWholeFile(path, html)) return false;
  std::ofstream out;
  if (!CreateShownPage(path, out)) return false;
  out << platform::TextToUtf8(html, charset);
  return static_cast<bool>(out);
}

std::string ErrorOpeningFile(const std::string& path) {
  return FormatMailText(kErrorOpeningFile, {path});
}

// --- large parts
//
// The library reads a message one character at a time through the C
// library's streams, and once a process runs more than one thread (the
// program always does) every character read takes the stream's lock: a
// message with a 20 MB attachment took well over a second where the
// library alone needs a quarter of that. A base64 body this large is
// therefore decoded by the viewer itself, and the copy of the message the
// library reads holds a one-line placeholder in its place: the library
// still lists the part, under its own name and type, and its data starts
// where the placeholder stands.
constexpr size_t kLargePartBytes = 256 * 1024;
constexpr std::string_view kPlaceholderBody = "AAAA\r\n";
constexpr int kMaxMimeDepth = 8;

// Where a delimiter line "--boundary" or "--boundary--" (blanks allowed
// after it) that starts at `at` ends, or npos when the line is no delimiter.
size_t DelimiterLineEnd(std::string_view msg, size_t at, size_t end, size_t length, bool& closing) {
  size_t after = at + length;
  closing = after + 2 <= end && msg.compare(after, 2, "--") == 0;
  if (closing) after += 2;
  while (after < end && (msg[after] == ' ' || msg[after] == '\t')) ++after;
  if (after >= end) return end;
  if (msg[after] == '\n') return after + 1;
  if (msg[after] == '\r' && after + 1 < end && msg[after + 1] == '\n') return after + 2;
  return std::string_view::npos;
}

// The large base64 bodies of the entity msg[begin, end), in order. Parts of
// a multipart entity lie between its delimiter lines (the line break
// before a delimiter belongs to the delimiter); a part that no delimiter
// ends, and anything unusual, is left to the library.
void FindLargeParts(std::string_view msg, size_t begin, size_t end, int depth, std::vector<LargePart>& out) {
  const std::string_view entity = msg.substr(begin, end - begin);
  const size_t headerEnd = EndOfFirstEmptyLine(entity);
  if (headerEnd == std::string_view::npos) return;
  const std::string_view header = entity.substr(0, headerEnd);
  const size_t bodyBegin = begin + headerEnd;
  const std::string type = HeaderField(header, "content-type");
  if (platform::StartsWithNoCase(platform::TrimView(type, platform::kWhitespace), "multipart/")) {
    const std::string boundary = HeaderParameter(type, "boundary");
    if (boundary.empty() || depth >= kMaxMimeDepth) return;
    const std::string delimiter = "--" + boundary;
    size_t partBegin = std::string_view::npos;
    for (size_t at = bodyBegin; at < end;) {
      const size_t found = msg.find(delimiter, at);
      if (found == std::string_view::npos || found >= end) return;
      at = found + delimiter.size();
      if (found != bodyBegin && msg[found - 1] != '\n') continue;
      bool closing = false;
      const size_t lineEnd = DelimiterLineEnd(msg, found, end, delimiter.size(), closing);
      if (lineEnd == std::string_view::npos) continue;
      if (partBegin != std::string_view::npos) {
        size_t partEnd = found;
        if (partEnd > partBegin && msg[partEnd - 1] == '\n') --partEnd;
        if (partEnd > partBegin && msg[partEnd - 1] == '\r') --partEnd;
        FindLargeParts(msg, partBegin, partEnd, depth + 1, out);
      }
      if (closing) return;
      partBegin = lineEnd;
      at = lineEnd;
    }
    return;
  }
  const std::string encoding = HeaderField(header, "content-transfer-encoding");
  if (!platform::EqualsNoCase(platform::TrimView(encoding, platform::kWhitespace), "base64")) return;
  if (end - bodyBegin < kLargePartBytes) return;
  out.push_back(LargePart{bodyBegin, end, -1});
}

// The value of each byte in base64: 0-63, kSkip for a byte outside the
// alphabet, kPad for "=".
constexpr std::uint8_t kSkip = 0xFF, kPad = 0xFE;
constexpr std::array<std::uint8_t, 256> MakeBase64Table() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kSkip;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  t['='] = kPad;
  return t;
}
constexpr std::array<std::uint8_t, 256> kBase64 = MakeBase64Table();

// Decodes a base64 body into a new file: characters outside the alphabet
// (line ends, blanks) are passed over, the first "=" ends the data.
bool DecodeBase64File(std::string_view body, const std::string& target) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  constexpr size_t kChunk = 256 * 1024;
  std::vector<char> chunk(kChunk + 3);
  size_t used = 0;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char ch : body) {
    const std::uint8_t v = kBase64[static_cast<unsigned char>(ch)];
    if (v == kSkip) continue;
    if (v == kPad) break;
    bits = (bits << 6) | v;
    if (++count == 4) {
      chunk[used++] = static_cast<char>(bits >> 16);
      chunk[used++] = static_cast<char>(bits >> 8);
      chunk[used++] = static_cast<char>(bits);
      bits = 0;
      count = 0;
      if (used >= kChunk) {
        out.write(chunk.data(), static_cast<std::streamsize>(used));
        used = 0;
      }
    }
  }
  if (count == 2) chunk[used++] = static_cast<char>(bits >> 4);
  if (count == 3) {
    chunk[used++] = static_cast<char>(bits >> 10);
    chunk[used++] = static_cast<char>(bits >> 2);
  }
  out.write(chunk.data(), static_cast<std::streamsize>(used));
  out.close();
  return static_cast<bool>(out);
}

// Every received message's file ends with one byte past its last line end:
// the "." of the POP3 terminating line. uulib would take it for message
// data - after a base64 body it then decodes nothing at all - so the
// library, and the page made from the whole message, get the message
// without it, and with the large parts left out when asked (see above): a
// copy in the display directory when either applies, the file itself
// otherwise. Its path is empty when the message cannot be read.
DecodeSource PrepareSource(const std::string& messagePath, const std::string& dir, bool leaveOutLargeParts) {
  DecodeSource source;
  std::string text;
  if (!platform::ReadWholeFile(messagePath, text)) return source;
  const bool terminator = text.size() >= 2 && text[text.size() - 2] == '\n' && text.back() == '.';
  if (terminator) text.pop_back();
  if (leaveOutLargeParts) FindLargeParts(text, 0, text.size(), 0, source.large);
  if (!terminator && source.large.empty()) {
    source.path = messagePath;
    return source;
  }
  const std::string copy = dir + kSourceCopy;
  std::error_code ec;
  fs::remove(copy, ec);
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  if (!out) return source;
  size_t from = 0;
  long written = 0;
  for (LargePart& part : source.large) {
    out.write(text.data() + from, static_cast<std::streamsize>(part.begin - from));
    written += static_cast<long>(part.begin - from);
    part.copyPos = written;
    out << kPlaceholderBody;
    written += static_cast<long>(kPlaceholderBody.size());
    from = part.end;
  }
  out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
  out.close();
  if (!out) {
    fs::remove(copy, ec);
    return source;
  }
  source.path = copy;
  source.copied = true;
  if (!source.large.empty()) source.message = std::move(text);
  return source;
}

void RemoveCopy(const DecodeSource& source) {
  if (!source.copied) return;
  std::error_code ec;
  fs::remove(source.path, ec);
}

// Names the viewer writes itself; no part may take them.
bool IsPageName(const std::string& name) {
  return platform::EqualsNoCase(name, kPlainTextPage) || platform::EqualsNoCase(name, kEnhancedPage) ||
         platform::EqualsNoCase(name, kMorePlainTextPage) || platform::EqualsNoCase(name, kHeadersPage);
}

// A name for a part that no other part of this message has, that no page
// has, and under which nothing stands in the folder yet (a read-only
// attachment of a forward keeps its file): "name~2.ext", "name~3.ext"...
std::string UniqueName(const std::string& dir, const std::string& name, std::set<std::string>& taken) {
  auto usable = [&](const std::string& candidate) {
    return !taken.count(platform::AsciiLower(candidate)) && !IsPageName(candidate) && !EntryExists(dir + candidate);
  };
  std::string chosen = name;
  if (!usable(chosen)) {
    const size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0;
    const std::string stem = hasExt ? name.substr(0, dot) : name;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    for (int n = 2;; ++n) {
      chosen = stem + "~" + std::to_string(n) + ext;
      if (usable(chosen)) break;
    }
  }
  taken.insert(platform::AsciiLower(chosen));
  return chosen;
}

// uulib's global state lives from UUInitialize to UUCleanUp; the object
// makes sure the clean-up runs on every path.
class UuSession {
 public:
  UuSession() : ok_(UUInitialize() == UURET_OK) {}
  ~UuSession() { UUCleanUp(); }
  UuSession(const UuSession&) = delete;
  UuSession& operator=(const UuSession&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

// The library's notes and warnings are of no use to the viewer.
void DropLibraryMessage(void*, char*, int) {}

bool DecodeItem(uulist* item, const std::string& target) {
  std::string path = target;
  const int result = UUDecodeFile(item, path.data());
  if (result != UURET_OK || !IsRegularFile(target)) return false;
  // Whatever mode the message asked for, the file is an ordinary one the
  // viewer can remove again.
  std::error_code ec;
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read,
                  fs::perm_options::replace, ec);
  return true;
}

bool IsDisplayDirectoryReady(const std::string& dir) {
  const std::string folder = WithoutSeparator(dir);
  if (!platform::DirectoryExists(folder) && !platform::CreateDirectories(folder)) return false;
  if (EntryExists(dir + kDisplayMarker)) return true;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  if (it != fs::directory_iterator()) return false;  // someone else's folder
  std::ofstream marker(dir + kDisplayMarker, std::ios::binary);
  return static_cast<bool>(marker);
}

std::string PercentEncodePath(std::string_view path) {
  return platform::PercentEncode(path, "/,+=@()!$&';:");
}

}  // namespace

// --- names and folders ------------------------------------------------------------------

std::string DisplayDirectory(const MailStore& store) {
  const std::string temp = store.TempDirectory();
  if (temp.empty()) return {};
  const std::string dir = WithSeparator(temp) + kDisplayFolderName + "/";
  if (!platform::DirectoryExists(WithoutSeparator(dir)) && !platform::CreateDirectories(WithoutSeparator(dir))) {
    return {};
  }
  // The folder's name is the viewer's own: it is a display directory even
  // when something left files in it before the marker existed.
  if (!EntryExists(dir + kDisplayMarker)) {
    std::ofstream marker(dir + kDisplayMarker, std::ios::binary);
    if (!marker) return {};
  }
  return dir;
}

int EmptyDisplayDirectory(const std::string& displayDir) {
  const std::string dir = WithSeparator(displayDir);
  int removed = 0;
  std::error_code ec;
  fs::directory_iterator it(WithoutSeparator(dir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == kDisplayMarker) continue;
    std::error_code statusError;
    const fs::file_status status = fs::symlink_status(it->path(), statusError);
    if (statusError) continue;
    if (status.type() == fs::file_type::directory) {
      // A forward folder goes once the forward no longer holds its files.
      if (!IsForwardFolderName(name) || HoldsReadOnlyFile(it->path().string())) continue;
      std::error_code removeError;
      if (fs::remove_all(it->path(), removeError) != static_cast<std::uintmax_t>(-1) && !removeError) ++removed;
      continue;
    }
    // A read-only file stays: it may be an attachment of a forward being
    // written. (The check is on the mode, not on a failed removal, because
    // the superuser could remove it anyway.)
    if (IsReadOnlyFile(status)) continue;
    std::error_code removeError;
    if (fs::remove(it->path(), removeError) && !removeError) ++removed;
  }
  return removed;
}

int ReleaseDisplayDirectory(const std::string& displayDir) {
  int released = 0;
  std::error_code ec;
  fs::directory_iterator it(WithoutSeparator(WithSeparator(displayDir)), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code statusError;
    const fs::file_status status = fs::symlink_status(it->path(), statusError);
    if (statusError) continue;
    if (status.type() == fs::file_type::directory) {
      if (IsForwardFolderName(it->path().filename().string())) released += ReleaseDisplayDirectory(it->path().string());
      continue;
    }
    if (!IsReadOnlyFile(status)) continue;
    std::error_code permError;
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, permError);
    if (!permError) ++released;
  }
  return released;
}

std::string SafePartName(std::string_view name) {
  const size_t cut = name.find_last_of("/\\");
  std::string_view base = cut == std::string_view::npos ? name : name.substr(cut + 1);
  std::string out;
  for (unsigned char c : base) {
    if (c < 0x20 || c == 0x7f || c == ':') {
      out += '_';
    } else {
      out += static_cast<char>(c);
    }
  }
  size_t dots = 0;
  while (dots < out.size() && out[dots] == '.') ++dots;
  out.erase(0, dots);
  // Trailing blanks and dots make names that some systems cannot hold.
  while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
  if (out.size() > kMaxPartName) {
    const size_t dot = out.rfind('.');
    std::string ext;
    if (dot != std::string::npos && dot > 0 && out.size() - dot <= kMaxExtension) ext = out.substr(dot);
    out = out.substr(0, kMaxPartName - ext.size()) + ext;
  }
  if (out.empty()) out = "attachment";
  return out;
}

std::string UnknownPartName(std::string_view mimeType, std::string_view name) {
  std::string type(mimeType);
  const size_t slash = type.find('/');
  if (slash != std::string::npos && slash > 0) type.resize(slash);
  if (type.size() > kMaxTypeInName) type.resize(kMaxTypeInName);
  for (char& c : type) {
    if (c == '/' || c == '\\') c = '_';
  }
  const std::string last = name.empty() ? std::string() : std::string(1, name.back());
  return SafePartName(FormatMailText("Unknown_%s_File_%s.txt", {type, last}));
}

std::string FileUrl(const std::string& directory, const std::string& name) {
  return "file://" + PercentEncodePath(directory + name);
}

// --- decoding --------------------------------------------------------------------------------

MessageDecoder::MessageDecoder(Application& app) : app_(&app) {}

void MessageDecoder::RecordPart(const std::string& name, const std::string& type) {
  decoded_.partNames.push_back(name);
  decoded_.partTypes.push_back(type);
}

int MessageDecoder::WritePartPage(const std::string& partPath, std::ostream& out, bool stripHeaders,
                                  const std::string& mimeType, const std::string& charset) {
  std::string part;
  if (!ReadPartText(partPath, part)) return 0;
  std::string declared = charset;
  if (stripHeaders) {
    // Whatever header block the text begins with (a message without MIME
    // parts starts with the message's own) is not shown; it may tell the
    // character set of the text after it. A header block without an empty
    // line after it is all there is.
    const size_t end = LeadingHeaderBlock(part);
    if (end != std::string::npos) {
      if (declared.empty()) declared = CharsetOfHeaderBlock(std::string_view(part).substr(0, end));
      part.erase(0, end);
    }
  }
  part = platform::TextToUtf8(part, declared);
  TrimRight(part);
  // Each part is written once, as what it is: HTML as it stands, text made
  // HTML. A reply quotes an HTML part's text, not its tags.
  const bool html = platform::EqualsNoCase(mimeType, "text/html") || LooksLikeHtml(part);
  if (html) {
    out << part;
    decoded_.text += HtmlToText(part);
    if (!part.empty()) decoded_.markupWritten = true;
  } else {
    out << TextToHtml(part);
    decoded_.text += part;
    decoded_.converted += part;
  }
  return decoded_.text.empty() && !decoded_.markupWritten ? 0 : 1;
}

bool MessageDecoder::WriteWholeMessagePage(const std::string& source, const std::string& dir,
                                           const std::string& mimeType) {
  const std::string pagePath = dir + kPlainTextPage;
  std::ofstream page;
  if (!CreateShownPage(pagePath, page)) {
    decoded_.errors.push_back(ErrorOpeningFile(pagePath));
    return false;
  }
  WritePartPage(source, page, true, mimeType);
  return true;
}

namespace {

// Hands the message file to the library, which splits it into parts; the
// decoded files go below dir.
void LoadIntoLibrary(const std::string& source, const std::string& dir) {
  UUSetMsgCallback(nullptr, DropLibraryMessage);
  UUSetOption(UUOPT_USETEXT, 1, nullptr);
  std::string savePath = dir;
  UUSetOption(UUOPT_SAVEPATH, 0, savePath.data());
  // A uuencoded part's "begin" line must not give the file a mode of its
  // choosing (set-user-id, say, or one the viewer could not remove).
  UUSetOption(UUOPT_IGNMODE, 1, nullptr);
  std::string input = source;
  UULoadFile(input.data(), nullptr, 0);
}

}  // namespace

namespace {

long StartOf(const uulist* item) {
  return item && item->thisfile && item->thisfile->data ? item->thisfile->data->startpos : -1;
}

const LargePart* LargePartAt(const DecodeSource& source, long start) {
  for (const LargePart& part : source.large) {
    if (part.copyPos == start) return &part;
  }
  return nullptr;
}

}  // namespace

bool MessageDecoder::DecodeInto(const DecodeSource& source, void* item, const std::string& target) {
  uulist* listed = static_cast<uulist*>(item);
  const LargePart* large = LargePartAt(source, StartOf(listed));
  if (!large) return DecodeItem(listed, target);
  const std::string_view body = std::string_view(source.message).substr(large->begin, large->end - large->begin);
  if (!DecodeBase64File(body, target)) return false;
  std::error_code ec;
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read,
                  fs::perm_options::replace, ec);
  return true;
}

bool MessageDecoder::DecodeParts(const DecodeSource& sourceFile, const std::string& dir) {
  const std::string& source = sourceFile.path;
  UuSession session;
  if (session.Ok()) LoadIntoLibrary(source, dir);
  // Every part left out of the copy must be one the library lists.
  for (const LargePart& part : sourceFile.large) {
    bool listed = false;
    for (int i = 0; session.Ok() && !listed; ++i) {
      const uulist* item = UUGetFileListItem(i);
      if (!item) break;
      listed = StartOf(item) == part.copyPos;
    }
    if (!listed) return false;
  }

  std::set<std::string> taken;
  bool otherParts = false;  // an attachment or an HTML page was recorded
  for (int i = 0; session.Ok(); ++i) {
    uulist* item = UUGetFileListItem(i);
    if (!item) break;
    const std::string name = item->filename ? item->filename : "";
    const std::string type = item->mimetype ? item->mimetype : "";

    if (i == 0 && name != "0001.txt") {
      // The message starts with an attachment: the page is the whole message.
      WriteWholeMessagePage(source, dir, type);
      RecordPart(kPlainTextPage, "text/html");
      decoded_.page = kPlainTextPage;
    }

    if (name == "0001.txt") {
      const std::string file = UniqueName(dir, name, taken);
      const bool decodedOk = DecodeInto(sourceFile, item, dir + file);
      AddBodyText(dir, file, type, PartCharset(source, item), decodedOk);
    } else if (name == "0002.txt" && platform::EqualsNoCase(type, "text/html")) {
      // The HTML alternative is decoded straight under its page name; a
      // page that was not written is not shown.
      const std::string pagePath = dir + kEnhancedPage;
      std::error_code ec;
      if (EntryExists(pagePath)) fs::remove(pagePath, ec);
      if (DecodeInto(sourceFile, item, pagePath)) {
        ConvertPageToUtf8(pagePath, PartCharset(source, item));
        RecordPart(kEnhancedPage, type);
        decoded_.page = kEnhancedPage;
        otherParts = true;
      }
    } else if (!name.empty() && name[0] == '0' && name.find(".txt") != std::string::npos) {
      const std::string file = UniqueName(dir, SafePartName(name), taken);
      DecodeInto(sourceFile, item, dir + file);
      AddFurtherText(dir, file, type, PartCharset(source, item));
    } else {
      // An attachment, under its own name made safe, or a name made from
      // its type when the library knows none.
      const bool unnamed = name.find("UNKNOWN") != std::string::npos;
      // A name in encoded words ("=?UTF-8?B?...?=") is saved as it reads.
      const std::string shown = name.find("=?") != std::string::npos ? DecodeHeaderText(name) : name;
      const std::string file = UniqueName(dir, unnamed ? UnknownPartName(type, name) : SafePartName(shown), taken);
      if (DecodeInto(sourceFile, item, dir + file)) {
        RecordPart(file, type);
        otherParts = true;
      }
    }
  }
  FinishPage(source, dir, otherParts);
  return true;
}

void MessageDecoder::AddBodyText(const std::string& dir, const std::string& file, const std::string& type,
                                 const std::string& charset, bool decodedOk) {
  const std::string pagePath = dir + kPlainTextPage;
  std::ofstream page;
  if (CreateShownPage(pagePath, page)) {
    WritePartPage(dir + file, page, true, type, charset);
  } else {
    decoded_.errors.push_back(ErrorOpeningFile(pagePath));
  }
  if (decodedOk) {
    RecordPart(file, type);
    decoded_.bodyPart = file;
  }
  decoded_.page = kPlainTextPage;
}

void MessageDecoder::AddFurtherText(const std::string& dir, const std::string& file, const std::string& type,
                                    const std::string& charset) {
  const std::string morePath = dir + kMorePlainTextPage;
  std::ofstream more;
  if (!CreatePage(morePath, more)) {
    decoded_.errors.push_back(ErrorOpeningFile(morePath));
    return;
  }
  // With its type, so that an HTML part is written as HTML.
  WritePartPage(dir + file, more, true, type, charset);
  more.close();
  AppendFile(morePath, dir + kPlainTextPage);
}

void MessageDecoder::FinishPage(const std::string& source, const std::string& dir, bool otherParts) {
  const std::string pagePath = dir + kPlainTextPage;
  if (decoded_.page.empty()) {
    // The library found nothing: the page is the whole message, or the note
    // that there is nothing to show.
    std::ostringstream body;
    const int found = WritePartPage(source, body, true, std::string());
    std::ofstream page;
    if (CreateShownPage(pagePath, page)) {
      page << (found ? body.str() : std::string(kNoBodyText));
    } else {
      decoded_.errors.push_back(ErrorOpeningFile(pagePath));
    }
    decoded_.page = kPlainTextPage;
  } else if (decoded_.page == kPlainTextPage && decoded_.text.empty() && !decoded_.markupWritten && !otherParts) {
    // Only an empty text part (a header block and nothing else): the same
    // note rather than a blank page.
    std::ofstream page;
    if (CreateShownPage(pagePath, page)) page << kNoBodyText;
  }
}

int MessageDecoder::DecodeMessage(const std::string& messagePath, const std::string& displayDir,
                                  std::string& page) {
  decoded_ = DecodedMessage{};
  page.clear();
  const std::string dir = WithSeparator(displayDir);
  if (dir.empty() || !IsDisplayDirectoryReady(dir)) return -1;
  {
    // Emptying the folder must never take the message with it.
    std::error_code ec;
    if (fs::equivalent(fs::path(messagePath).parent_path(), WithoutSeparator(dir), ec)) return -1;
  }
  MailStore store(*app_);
  // The summary read takes the mail lock itself.
  decoded_.summaryRead = store.ReadSummaryQuiet(messagePath, decoded_.summary) == SummaryResult::Ok;

  bool readable = true;
  {
    std::lock_guard<std::mutex> lock(app_->MailLock());
    EmptyDisplayDirectory(dir);
    // Reading the message (here, or by the library when no copy is made) is
    // not opening it: its read state stays.
    platform::FileTimesKeeper keepTimes(messagePath);
    DecodeSource source = PrepareSource(messagePath, dir, true);
    if (!source.path.empty() && !DecodeParts(source, dir)) {
      RemoveCopy(source);
      source = PrepareSource(messagePath, dir, false);
      if (!source.path.empty()) DecodeParts(source, dir);
    }
    readable = !source.path.empty();
    RemoveCopy(source);
  }
  for (const std::string& error : decoded_.errors) app_->Messages().Error(error);
  if (!readable) return -1;
  page = decoded_.page;
  return 1;
}

// --- headers page --------------------------------------------------------------------------------

bool WriteHeadersPage(const std::string& messagePath, const std::string& displayDir) {
  std::string text;
  {
    platform::FileTimesKeeper keepTimes(messagePath);
    std::ifstream in(messagePath, std::ios::binary);
    if (!in) return false;
    std::array<char, 8192> chunk;
    for (;;) {
      in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      const std::streamsize got = in.gcount();
      if (got <= 0) break;
      const size_t searchFrom = text.size() > 3 ? text.size() - 3 : 0;
      text.append(chunk.data(), static_cast<size_t>(got));
      const size_t end = text.find("\r\n\r\n", searchFrom);
      if (end != std::string::npos) {
        text.resize(end);
        break;
      }
    }
    if (in.bad()) return false;
  }
  // A file written with bare line feeds ends its header block at "\n\n".
  if (text.find("\r\n\r\n") == std::string::npos) {
    const size_t lf = text.find("\n\n");
    if (lf != std::string::npos) text.resize(lf);
  }
  std::ofstream page;
  if (!CreateShownPage(WithSeparator(displayDir) + kHeadersPage, page)) return false;
  // Header lines are ASCII by rule; a raw byte beyond that is shown as the
  // sender most likely meant it.
  page << TextToHtml(platform::UndeclaredToUtf8(text));
  return static_cast<bool>(page);
}

// --- navigation ------------------------------------------------------------------------------------

NavigationDecision DecideNavigation(const std::string& target, const std::string& displayDir) {
  NavigationDecision decision;
  const std::string dir = WithSeparator(displayDir);
  bool inside = false;
  std::string localPath;
  if (platform::StartsWithNoCase(target, "file://") && !dir.empty()) {
    std::string rest = target.substr(7);
    const size_t end = rest.find_first_of("#?");
    if (end != std::string::npos) rest.resize(end);
    // "file://localhost/path" names the same file as "file:///path".
    if (platform::StartsWithNoCase(rest, "localhost/")) rest.erase(0, 9);
    localPath = fs::path(platform::DecodePercentEscapes(rest)).lexically_normal().string();
    const std::string folder = fs::path(dir).lexically_normal().string();
    // Compared upper-cased, as the file system of the stored paths may not
    // tell cases apart.
    const std::string upperPath = platform::AsciiUpper(localPath);
    const std::string upperFolder = platform::AsciiUpper(WithSeparator(folder));
    inside = upperPath.size() > upperFolder.size() && upperPath.compare(0, upperFolder.size(), upperFolder) == 0;
  }
  if (!inside) {
    decision.action = NavigationAction::OpenInPopup;
    decision.popupTitle = kFindingTitle + target;
    return decision;
  }
  const std::string name = fs::path(localPath).filename().string();
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : platform::AsciiUpper(name.substr(dot));
  if (ext == ".DOC" || ext.rfind(".XL", 0) == 0) {
    decision.action = NavigationAction::OpenWithSystem;
    decision.filePath = localPath;
    return decision;
  }
  decision.action = NavigationAction::Show;
  return decision;
}

// --- the viewer ----------------------------------------------------------------------------------

MessageView::MessageView(Application& app, std::string displayDir)
    : app_(&app), displayDir_(WithSeparator(std::move(displayDir))), decoder_(app) {}

bool MessageView::Open(const std::string& messagePath, int* decodeResult) {
  MailStore store(*app_);
  MessageSummary summary;
  if (!store.ReadSummary(messagePath, summary)) return false;
  messagePath_ = messagePath;
  headersShown_ = false;
  std::string page;
  const int result = decoder_.DecodeMessage(messagePath, displayDir_, page);
  if (decodeResult) *decodeResult = result;
  return true;
}

std::string MessageView::Caption() const {
  const MessageSummary& s = decoder_.Decoded().summary;
  return FormatMailText("[%s] %s", {s.from, s.subject});
}

std::string MessageView::PageUrl() const {
  const std::string& page = decoder_.Decoded().page;
  return page.empty() ? std::string() : FileUrl(displayDir_, page);
}

std::vector<size_t> ListedParts(const DecodedMessage& message) {
  std::vector<size_t> listed;
  const auto& names = message.partNames;
  if (names.size() <= 1) return listed;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!platform::TrimView(names[i], platform::kWhitespace).empty()) listed.push_back(i);
  }
  return listed;
}

std::string MessageView::PartPath(size_t index) const {
  const auto& names = decoder_.Decoded().partNames;
  return index < names.size() ? displayDir_ + names[index] : std::string();
}

std::string MessageView::PartUrl(size_t index) const {
  const auto& names = decoder_.Decoded().partNames;
  return index < names.size() ? FileUrl(displayDir_, names[index]) : std::string();
}

bool MessageView::SavePartAs(size_t index, const std::string& target) const {
  const std::string source = PartPath(index);
  if (source.empty() || target.empty()) return false;
  std::error_code ec;
  if (fs::equivalent(source, target, ec)) return true;
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  // A plain copy of the bytes: the part's read-only mark (a forward) is not
  // carried over to the user's file.
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << in.rdbuf();
  out.flush();
  return static_cast<bool>(out) && !in.bad();
}

std::string MessageView::HeadersButtonLabel() const {
  return headersShown_ ? kHideHeadersLabel : kShowHeadersLabel;
}

HeadersToggle MessageView::ToggleHeaders() {
  HeadersToggle toggle;
  if (!headersShown_) {
    if (!WriteHeadersPage(messagePath_, displayDir_)) {
      toggle.ok = false;
      toggle.url = PageUrl();
      toggle.buttonLabel = HeadersButtonLabel();
      return toggle;
    }
    headersShown_ = true;
    toggle.url = FileUrl(displayDir_, kHeadersPage);
  } else {
    headersShown_ = false;
    toggle.url = PageUrl();
  }
  toggle.buttonLabel = HeadersButtonLabel();
  return toggle;
}

// --- delete from the viewer ----------------------------------------------------------------------

int RowAfterDelete(size_t rowCount, size_t shownRow) {
  if (rowCount <= 1 || shownRow >= rowCount) return -1;
  return shownRow + 1 < rowCount ? static_cast<int>(shownRow + 1) : static_cast<int>(shownRow - 1);
}

ViewerDeleteOutcome DeleteFromViewer(const MailStore& store, MessageList& list, const std::string& shownPath,
                                     bool trashShown) {
  ViewerDeleteOutcome outcome;
  const int shown = list.Find(shownPath);
  const size_t count = list.Rows().size();
  const DeleteOutcome deleted = store.DeleteMessages({shownPath}, trashShown);
  outcome.status = deleted.status;
  if (deleted.cancelled || deleted.removed.empty()) {
    outcome.cancelled = true;
    return outcome;
  }
  const int next = shown < 0 ? -1 : RowAfterDelete(count, static_cast<size_t>(shown));
  list.RemoveAll(deleted.removed);
  if (next < 0) {
    outcome.closeViewer = true;
    return outcome;
  }
  const int after = next > shown ? next - 1 : next;
  if (after < 0 || static_cast<size_t>(after) >= list.Rows().size()) {
    outcome.closeViewer = true;
    return outcome;
  }
  list.MarkRead(static_cast<size_t>(after), true);
  outcome.nextRow = after;
  outcome.nextPath = list.Rows()[static_cast<size_t>(after)].path;
  return outcome;
}

}  // namespace vyr
