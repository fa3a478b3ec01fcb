#pragma once
// The rules of the compose window that hold no window: where a message came
// from and what replacing it may remove, the question asked when a changed
// message is closed, Save As's forms and question, the draft the window
// keeps saving while it is open (so a crash loses at most half a minute of
// typing), and the copies of a forward's attachments.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/string_table.h"

namespace vyr {

class Application;
class MailStore;

namespace composetext {
inline constexpr platform::TextId kTitle{33257};            // "Keep in touch"
inline constexpr platform::TextId kStartStatus{40830};      // "Write your letter, address it, and push SEND NOW !"
inline constexpr platform::TextId kSaveChanges{33005};      // "Save Changes?"
inline constexpr platform::TextId kConfirm{40831};          // "Confirm"
inline constexpr platform::TextId kNotSentOrSaved{33266};   // "This message hasn't been Sent or Saved..."
inline constexpr platform::TextId kSaveAsHtml{40832};       // "Save as HTML?"
inline constexpr platform::TextId kSaveAsHtmlLoss{40833};   // "\r\n\r\nSaying No will prompt you..."
inline constexpr platform::TextId kHtmlFormatting{40834};   // "HTML Formatting"
inline constexpr platform::TextId kHtmlFilter{40835};       // "HTML File (*.htm)|*.htm||"
inline constexpr platform::TextId kTextFilter{40836};       // "Text File (*.txt)|*.txt||"
inline constexpr platform::TextId kSaveAsTitle{40837};      // "Save As"
inline constexpr platform::TextId kFileExists{40838};       // "File Already Exists\nOverwrite?"
inline constexpr platform::TextId kOverwrite{40839};        // "Overwrite"
inline constexpr platform::TextId kCannotWrite{40840};      // "Error opening file for output"
inline constexpr platform::TextId kSendStopped{40841};      // sending stopped at the close: the message waits in Outbox
inline constexpr platform::TextId kQueued{33243};           // "Message has been queued and will be sent next time..."
inline constexpr platform::TextId kQueueing{33250};         // "Queueing..."
inline constexpr platform::TextId kCanceled{32997};         // "Canceled"
inline constexpr platform::TextId kSendAgainStatus{33256};  // "Click 'Send Again' to edit this message and re-send it"
inline constexpr platform::TextId kTextOnlyQuestion{40842};  // "This message has formatting which will be removed..."
inline constexpr platform::TextId kContinueSending{40843};   // "Continue Sending?"
inline constexpr platform::TextId kSpellCanceled{40844};     // "Spell Check Canceled"
}  // namespace composetext

// Where the message in a compose window came from.
enum class ComposeSource { New, Outbox, Draft, SentItems };
ComposeSource SourceOf(const std::string& storedPath);

// Whether storing the message anew removes the file it came from: only a
// message of the Outbox or the Draft folder is replaced; one opened from
// Sent Items keeps its copy there, whatever is done with it.
bool ReplacesSource(const std::string& storedPath);

// The first n characters of a UTF-8 text, never half of one.
std::string FirstCharacters(std::string_view utf8, size_t n);

// What closing a changed message asks, and what yes does.
struct CloseQuestion {
  enum class Save { SendLater, SaveDraft };
  std::string text;
  std::string caption;
  Save onYes = Save::SaveDraft;
};
// A message from Outbox is sent later, one from Draft saved as a draft, a
// new one (or one from Sent Items) asked about with its To and Subject.
CloseQuestion ClosingQuestion(ComposeSource source, const std::string& to, const std::string& subject);

// The two forms of Save As.
struct SaveAsForm {
  bool html = false;
  std::string filter;     // the file dialog's filter
  std::string extension;  // ".htm" or ".txt", added when the chosen name has none
};
SaveAsForm SaveAsFormFor(bool html);
// "Save as HTML?", with the warning about lost formatting when it has any.
std::string SaveAsQuestion(bool needsHtml);
// The chosen name with the form's extension when it has none of its own.
std::string WithDefaultExtension(const std::string& path, const SaveAsForm& form);

// The draft a compose window keeps while it has unsaved changes: a file of
// the Draft folder named "Autosave<tick>.mail", replaced whole at every
// save so that it is always either the last save or the one before. It is
// removed when the message is sent, stored or discarded; one left by a
// program that ended without closing its windows is found at the next
// start and opened again.
class DraftAutosave {
 public:
  explicit DraftAutosave(Application& app);
  // Writes the stored form; false when it could not be written (the
  // previous save stays).
  bool Save(const std::string& storedText);
  // Removes the file (a sent, stored or discarded message).
  void Discard();
  const std::string& Path() const { return path_; }

  // The autosaves a program left behind, each renamed to an ordinary
  // draft ("Out<tick>.mail"), so that it is opened once and then kept
  // like any draft. Returns the drafts' paths, oldest first.
  static std::vector<std::string> Recover(Application& app);

 private:
  Application& app_;
  std::string path_;
};

// Address completion in the To, CC and BCC boxes: every address the
// program knows (the system address book, then previously sent and
// received addresses), each once, written as it would be typed
// ("Name <address>", or the bare address when it has no name).
std::vector<std::string> KnownAddresses(const Application& app);
// The completions of what is typed: the last entry of the comma-separated
// list (after its leading blanks) is matched without regard to case
// against the start of each known name and address; each completion is
// the whole box text with that entry replaced. Nothing for an empty entry.
std::vector<std::string> CompleteAddress(const std::vector<std::string>& known, const std::string& typed);

// A forward's attachments are copied into "<mail root>Forwarded/ForwardN/"
// and stay as long as a stored message (Outbox, Draft, Sent Items, Trash)
// names them, so a queued forward still carries them after the mail window
// and the program are closed.
std::string ForwardCopiesDirectory(const MailStore& store);
// Removes the copies no stored message names; run at start-up, before any
// compose window is open. Returns how many folders went.
int RemoveUnusedForwardCopies(const MailStore& store);

}  // namespace vyr
