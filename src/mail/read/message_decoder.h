#pragma once
// Showing a stored message: the message is decoded with uulib into files in
// the viewer's display directory, its text parts become HTML pages
// ("PlainText.htm", "Enhanced.htm") that the viewer's browser control shows,
// and every other part is listed for saving or opening.
//
// The display directory is the viewer's own folder inside the data folder
// "_TEMP" (see DisplayDirectory). "_TEMP" itself also receives the mail
// check's downloads while they are being written, so the viewer never
// empties "_TEMP": it empties only its own folder.
//
// uulib keeps global state and is not thread-safe, so a decode holds the
// application's mail lock from the library's initialisation to its clean-up.
// Names of decoded files come from the message and are never trusted: every
// part is written under a plain name inside the display directory.
//
// This file also holds the viewer's decisions without its window: the
// caption, the page address, the listed parts, the headers page and its
// toggle, the navigation hook and the row shown after a delete.
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/application.h"
#include "mail/store/mail_store.h"
#include "mail/store/message_summary.h"

namespace vyr {

class MessageList;
struct DecodeSource;  // what the decoding library reads (message_decoder.cpp)

// Generated files.
inline constexpr const char* kPlainTextPage = "PlainText.htm";
inline constexpr const char* kEnhancedPage = "Enhanced.htm";
inline constexpr const char* kMorePlainTextPage = "MorePlainText.htm";
inline constexpr const char* kHeadersPage = "headers.htm";
// The viewer's folder inside "_TEMP".
inline constexpr const char* kDisplayFolderName = "Viewer";
// A forward's attachments are copied into a folder of its own inside the
// viewer's folder: "Forward1", "Forward2"...
inline constexpr const char* kForwardFolderPrefix = "Forward";

// Every page the viewer shows begins with this: its text is UTF-8, whatever
// character set the message was written in.
inline constexpr const char* kPageCharset = "<meta charset=\"utf-8\">";
inline constexpr const char* kNoBodyText =
    "<b>The following message appears to have no body text or attachments</b><p>";
inline constexpr const char* kErrorOpeningFile = "Error opening file: %s";
inline constexpr const char* kErrorProcessingEmail = "Error processing e-mail";
inline constexpr const char* kShowHeadersLabel = "Show Headers";
inline constexpr const char* kHideHeadersLabel = "Hide Headers";
inline constexpr const char* kFindingTitle = "Finding ";

// Parts are read for a page in chunks of this size, each taken up to its
// first zero byte.
inline constexpr size_t kPartReadChunk = 4096;

// What decoding a message found, for the viewer and for replies.
struct DecodedMessage {
  MessageSummary summary;
  bool summaryRead = false;
  // Every text part written to a page, in UTF-8, header block removed and
  // trailing white space trimmed, joined as they stand (an HTML part as the
  // text it shows, without its tags): what a reply quotes.
  std::string text;
  // An HTML part with something in it was written to the page.
  bool markupWritten = false;
  // The parts that were converted from plain text to HTML.
  std::string converted;
  // The part list: file names (in the display directory) and MIME types,
  // same index.
  std::vector<std::string> partNames;
  std::vector<std::string> partTypes;
  // The listed part whose text the page shows and a reply quotes
  // ("0001.txt"); empty when there is none. A forward does not attach it.
  std::string bodyPart;
  // "PlainText.htm", "Enhanced.htm" or empty.
  std::string page;
  // "Error opening file: %s" for each page that could not be created.
  std::vector<std::string> errors;
};

// The viewer's display directory: "<data>/_TEMP/Viewer/", created when
// missing (empty when it cannot be created).
std::string DisplayDirectory(const MailStore& store);

// Removes every file of the display directory except read-only ones, and
// every forward folder none of whose files is read-only any more (a forward
// still being written keeps its attachments read-only). Links are always
// removed; other subfolders are left alone. Returns how many entries were
// removed.
int EmptyDisplayDirectory(const std::string& displayDir);
// Makes every file of the display directory and of its forward folders
// writable again, so that the next decode removes them. Returns how many
// files were released. (The store's leftover clean-up, run when the mail
// window closes and at start-up, does the same for all of "_TEMP".)
int ReleaseDisplayDirectory(const std::string& displayDir);

// A part's name from the message made into a plain file name: only the last
// path component counts, control characters and ":" become "_", leading dots
// are dropped (no hidden files, no "." or ".."), and an over-long name is
// shortened keeping its extension. An empty result becomes "attachment".
std::string SafePartName(std::string_view name);
// "Unknown_%s_File_%s.txt" for a part the library could only call "UNKNOWN":
// the MIME type (only the part before the first "/" when that is not empty)
// and the last character of the library's name, made a plain file name.
std::string UnknownPartName(std::string_view mimeType, std::string_view name);
// "file://" + directory + name, with the characters that would end or change
// the path in an address (%, #, ?, spaces, control and non-ASCII bytes)
// percent-encoded.
std::string FileUrl(const std::string& directory, const std::string& name);

class MessageDecoder {
 public:
  explicit MessageDecoder(Application& app);

  // Decodes a stored message into the display directory and fills the
  // decoded message. page receives the page to show ("PlainText.htm",
  // "Enhanced.htm"). Returns 1, or -1 when the message file cannot be read
  // or the display directory cannot be created (the viewer then reports
  // "Error processing e-mail"). Pages that cannot be created are reported
  // with "Error opening file: %s" through the message-box service once the
  // mail lock is released. Must not be called with the mail lock held.
  int DecodeMessage(const std::string& messagePath, const std::string& displayDir, std::string& page);

  // Adds one text part to a page: reads it, strips a leading header block
  // when asked (a text that begins with a header line loses its header
  // block, up to and including the first empty line), converts it from its
  // character set to UTF-8 (charset: the part's declared one; when empty,
  // the one the stripped header block declares; undeclared text is kept
  // when it is UTF-8, else read as Windows-1252) and trims trailing white
  // space. An HTML part ("text/html", or a text that begins with "<html" or
  // "<!doctype html") is written as it stands and its text without tags is
  // appended to the accumulated text; any other part is written as HTML and
  // appended to the accumulated and the converted text. Each call writes
  // its own part only. Returns 1 when the accumulated text is not empty or
  // an HTML part with content was written, else 0 (also when the part
  // cannot be read).
  int WritePartPage(const std::string& partPath, std::ostream& out, bool stripHeaders,
                    const std::string& mimeType, const std::string& charset = {});

  const DecodedMessage& Decoded() const { return decoded_; }
  DecodedMessage& Decoded() { return decoded_; }

 private:
  // Steps of a decode, run under the mail lock. DecodeParts is false, with
  // nothing written, when the library did not list a part the source left
  // out where it stood (the decode is then run on the whole message).
  bool DecodeParts(const DecodeSource& source, const std::string& dir);
  // Decodes an item into a file: a part left out of the library's copy by
  // the viewer, else by the library.
  bool DecodeInto(const DecodeSource& source, void* item, const std::string& target);
  bool WriteWholeMessagePage(const std::string& source, const std::string& dir, const std::string& mimeType);
  void RecordPart(const std::string& name, const std::string& type);
  // The parts of DecodeParts: the first text part (the plain page), a
  // further text part (appended to the plain page), and the page when no
  // part gave one (the whole message, or the note that there is nothing).
  void AddBodyText(const std::string& dir, const std::string& file, const std::string& type,
                   const std::string& charset, bool decodedOk);
  void AddFurtherText(const std::string& dir, const std::string& file, const std::string& type,
                      const std::string& charset);
  void FinishPage(const std::string& source, const std::string& dir, bool otherParts);

  Application* app_;
  DecodedMessage decoded_;
};

// Writes "headers.htm" into the display directory: the message file's text
// up to its first empty line (all of it when there is none) as HTML. True
// when the page was written.
bool WriteHeadersPage(const std::string& messagePath, const std::string& displayDir);

// The indices of the parts the viewer lists: every part whose trimmed name is
// not empty, when the part list holds more than one part; else none.
std::vector<size_t> ListedParts(const DecodedMessage& message);

// --- the navigation hook ---------------------------------------------------------

enum class NavigationAction {
  Show,            // let the viewer's browser control go there
  OpenInPopup,     // cancel; open in a new browser window titled "Finding " + target
  OpenWithSystem,  // cancel; open the file with the system's "open" action
};

struct NavigationDecision {
  NavigationAction action = NavigationAction::Show;
  std::string popupTitle;  // OpenInPopup: "Finding " + target
  std::string filePath;    // OpenWithSystem: the local file
};

// Every navigation of the viewer's browser control: a target outside the
// display directory (a link in the message; "file:" addresses are decoded
// and resolved first, so "Viewer/../x" is outside) opens in a popup window;
// a file inside whose extension is ".DOC" or begins with ".XL" (any case)
// opens with the system; anything else is shown.
NavigationDecision DecideNavigation(const std::string& target, const std::string& displayDir);

// --- the viewer without its window ---------------------------------------------------

struct HeadersToggle {
  bool ok = true;           // false: "headers.htm" could not be written
  std::string url;          // where to navigate
  std::string buttonLabel;  // "Hide Headers" or "Show Headers"
};

class MessageView {
 public:
  MessageView(Application& app, std::string displayDir);

  // Opens a message: reads its summary (false, and nothing changes, when it
  // cannot be read: the viewer does not open), then decodes it.
  // decodeResult receives DecodeMessage's result (negative: show "Error
  // processing e-mail").
  bool Open(const std::string& messagePath, int* decodeResult = nullptr);

  const std::string& DisplayDir() const { return displayDir_; }
  const std::string& MessagePath() const { return messagePath_; }
  const DecodedMessage& Decoded() const { return decoder_.Decoded(); }
  // "[%s] %s": sender and subject.
  std::string Caption() const;
  // "file://" + display directory + page; empty when no page was made.
  std::string PageUrl() const;
  // The indices of the parts the list shows (see the free ListedParts).
  std::vector<size_t> ListedParts() const { return vyr::ListedParts(Decoded()); }
  std::string PartPath(size_t index) const;
  std::string PartUrl(size_t index) const;
  // Copies a part to a file chosen by the user (an existing file is
  // overwritten). False when the part or the target cannot be used.
  bool SavePartAs(size_t index, const std::string& target) const;

  bool HeadersShown() const { return headersShown_; }
  std::string HeadersButtonLabel() const;
  // Show: writes "headers.htm" and goes there; hide: back to the page.
  HeadersToggle ToggleHeaders();

  NavigationDecision Navigate(const std::string& target) const {
    return DecideNavigation(target, displayDir_);
  }

 private:
  Application* app_;
  std::string displayDir_;
  std::string messagePath_;
  MessageDecoder decoder_;
  bool headersShown_ = false;
};

// --- delete from the viewer ---------------------------------------------------------

// The row shown after the shown row is deleted: -1 when the list holds no
// more than one row (the viewer closes), else the next row, or the previous
// one after the last row. The index counts in the list as it was before the
// row was removed.
int RowAfterDelete(size_t rowCount, size_t shownRow);

struct ViewerDeleteOutcome {
  bool cancelled = false;    // the user said no, or the file could not be moved
  bool closeViewer = false;  // nothing left to show
  int nextRow = -1;          // in the list after the removal
  std::string nextPath;      // the message to show next (already marked read)
  std::string status;        // status line text of the delete
};

// Deletes the shown message as the list's delete does (the confirmation,
// then the move into Trash), removes its row, and chooses, marks read and
// returns the message to show next.
ViewerDeleteOutcome DeleteFromViewer(const MailStore& store, MessageList& list, const std::string& shownPath,
                                     bool trashShown);

}  // namespace vyr
