#pragma once
// The header summary of a stored message: what the message list and the
// display need to know about a message without decoding it, read from its
// header lines by the program's own scanner. The message key that names
// received messages (and so detects a second copy of one) is computed from
// the same summary.
#include <cstdint>
#include <string>
#include <string_view>

namespace vyr::platform {
class FileReader;
}

namespace vyr {

struct MessageSummary {
  std::string path;       // full path of the message file
  bool unread = false;    // by the read-state rule (file times)
  bool outgoing = false;  // the file lies in an outgoing folder
  std::string from, subject, to, cc, bcc, date, mimeVersion;
  std::string replyTo;                  // where replies go, when the sender asks for it
  std::string contentType;              // up to the first ";"
  std::string contentTransferEncoding;  // up to the first ";"
  std::string fileName;  // Content-Type "name", else Content-Disposition "filename"/"name"
  std::string boundary;  // Content-Type "boundary"
  std::string id;        // Content-Type "id" (message/partial)
  int number = 0;        // Content-Type "number" (message/partial), 0 when absent
  int total = 0;         // Content-Type "total" (message/partial), 0 when absent
};

// A header value (and a parameter value) is cut to this many characters.
inline constexpr size_t kMaxHeaderValue = 255;
// The most of a file read for its summary: the header block ends at the first
// empty line, and a header block longer than this is scanned only this far.
inline constexpr size_t kHeaderReadLimit = 64 * 1024;

// Fills the header fields of the summary from the header lines of a message
// (path, unread and outgoing are left alone; the other fields are cleared
// first). Header names match without regard to case; the first line of each
// name wins; a line starting with a space or tab continues the line before
// it (the line break and the continuation's leading blanks become one
// space); scanning stops at the first empty line. Leading blanks of a value
// are skipped, trailing blanks removed, and the value cut at 255 characters.
// Parameters ("; name=value", quoted or not, names without regard to case,
// RFC 2231 "name*" forms decoded) are read from the whole value. From,
// Reply-To, Subject, To, CC and BCC are kept as they are shown (DecodeHeaderText),
// then cut at 255 bytes without splitting a character.
void ScanHeaders(std::string_view headerText, MessageSummary& out);

// A header's text as it is shown: RFC 2047 encoded words
// ("=?charset?B?...?=", "=?charset?Q?...?=") decoded into UTF-8, the blanks
// between two adjacent encoded words dropped, and any other byte outside
// ASCII read as UTF-8 when it is that, else as Windows-1252. Line breaks and
// other control characters an encoded word carries become spaces. A word
// that is not well-formed is kept as it stands.
std::string DecodeHeaderText(std::string_view value);

// The value of one parameter of a structured header value such as
// "text/plain; charset=us-ascii; name=\"a b.txt\"" (everything before the
// first ";" is skipped). Empty when the parameter is absent.
std::string HeaderParameter(std::string_view value, std::string_view name);

// Checksum of one header value for the message key: with n = length - 1, n
// itself when n <= 0 (-1 for an empty text, 0 for one character); else
// h = n, then for i = 0 .. n-1: h = 2 * (h + s[i] + s[n-i]) with the
// characters as signed bytes and 32-bit wrap-around.
std::int32_t HeaderChecksum(std::string_view text);

// The message key of a message's header block: the checksums of From, To,
// CC, Subject, Date, boundary, id and Content-Type plus number plus total,
// in 32-bit wrap-around arithmetic, written as "X_<sum>" with every
// character that is not a letter or digit turned into "-" (X-0, X-123,
// X--123). Each value is taken from the first line of its header only (a
// continuation line is not part of it), with leading and trailing blanks
// removed and cut at 255 characters; the parameters come from that same
// line. A header that is present but empty counts as an empty text (-1), an
// absent one 0. Keys name the stored files, so this rule never changes.
std::string MessageKeyOfHeaders(std::string_view headerText);

// What reading a header block found out about the file.
struct HeaderBlockInfo {
  size_t bytesRead = 0;      // read from the file (at least the first 4 KB, or all of a shorter file)
  bool notAFile = false;     // the path is a directory
};

// Reads the start of a file up to and including its first empty line, and
// never more than kHeaderReadLimit bytes. False when the file cannot be
// opened or read.
bool ReadHeaderBlock(const std::string& path, std::string& header, HeaderBlockInfo* info = nullptr);
// The same from a file opened already.
bool ReadHeaderBlock(platform::FileReader& file, std::string& header, HeaderBlockInfo* info = nullptr);

}  // namespace vyr
