#pragma once
// The mail store: one plain file per message in folder directories under the
// mail root <data>/email/. There is no index: a folder's contents are the
// files its directory holds, a message's read state lives in its file times,
// and every list and summary is rebuilt from the files.
//
// This class holds the folder set and its paths, the read state, summaries
// and keys of message files, the welcome message, and the folder and
// message operations the mail window offers. It talks to the user only
// through the application's message-box service and returns status-line
// texts for the window to show. Every header scan, temporary name and file
// move takes the application's mail lock.
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "base/application.h"
#include "mail/store/message_summary.h"
#include "platform/file_times.h"
#include "platform/string_table.h"

namespace vyr {

// String-table numbers of the store's texts.
namespace mailtext {
inline constexpr platform::TextId kErrorCreatingEmailDirectory{40040};
inline constexpr platform::TextId kOpenFailed{40041};
inline constexpr platform::TextId kErrorWithLetter{40042};  // "%s": the path
inline constexpr platform::TextId kNoSubject{40043};
inline constexpr platform::TextId kMultiPartMark{40044};
inline constexpr platform::TextId kColumnSubject{40045};
inline constexpr platform::TextId kColumnFrom{40046};
inline constexpr platform::TextId kColumnTo{40047};
inline constexpr platform::TextId kColumnDate{40048};
inline constexpr platform::TextId kNoItemsSelected{40049};
inline constexpr platform::TextId kDeleteMessagesQuestion{40050};
inline constexpr platform::TextId kConfirm{40051};
inline constexpr platform::TextId kDontAskAgain{40052};
inline constexpr platform::TextId kMovedToTrashOne{40053};   // "%d"
inline constexpr platform::TextId kMovedToTrashMany{40054};  // "%d"
inline constexpr platform::TextId kCannotCopyToItself{40055};
inline constexpr platform::TextId kCannotMoveOutgoing{40056};
inline constexpr platform::TextId kMovedToOne{40057};   // "%d", "%s"
inline constexpr platform::TextId kMovedToMany{40058};  // "%d", "%s"
inline constexpr platform::TextId kNewFolderTitle{40059};
inline constexpr platform::TextId kNewFolderPrompt{40060};
inline constexpr platform::TextId kFolderExists{40061};
inline constexpr platform::TextId kRenameFolderTitle{40062};
inline constexpr platform::TextId kRenameFolderPrompt{40063};     // "%s": the current name
inline constexpr platform::TextId kDeleteFolderQuestion{40064};   // "%s", "%d"
inline constexpr platform::TextId kFileNotRemoved{40065};         // "%s": the file
inline constexpr platform::TextId kLoadingFolder{40066};          // "%s"
inline constexpr platform::TextId kNoMessagesIn{40067};           // "%s"
inline constexpr platform::TextId kNewMessageOne{40068};          // "%d"
inline constexpr platform::TextId kNewMessagesMany{40069};        // "%d"
inline constexpr platform::TextId kMessageInOne{40070};           // "%d", "%s"
inline constexpr platform::TextId kMessagesInMany{40071};         // "%d", "%s"
inline constexpr platform::TextId kLargeInboxHint{40072};
inline constexpr platform::TextId kInvalidFolderName{40073};
inline constexpr platform::TextId kSystemFolderFixed{40074};
inline constexpr platform::TextId kFolderNotRemoved{40075};       // "%s": the folder
inline constexpr platform::TextId kWelcomeMessage{40090};         // the whole welcome.mail
}  // namespace mailtext

// A string-table text with its "%d", "%ld", "%u" and "%s" markers replaced,
// in order, by the given values ("%%" gives "%"). Markers without a value
// are dropped, so a damaged table never reads past its arguments.
std::string MailText(platform::TextId id, std::initializer_list<std::string> values = {});
std::string FormatMailText(const std::string& pattern, std::initializer_list<std::string> values);

// The five system folders, in tree order.
inline constexpr const char* kSystemFolders[5] = {"Inbox", "Outbox", "Sent Items", "Draft", "Trash"};
inline constexpr const char* kInboxFolder = "Inbox";
inline constexpr const char* kOutboxFolder = "Outbox";
inline constexpr const char* kSentItemsFolder = "Sent Items";
inline constexpr const char* kDraftFolder = "Draft";
inline constexpr const char* kTrashFolder = "Trash";

// A message is unread while its last access is no later than this after its
// creation time.
inline constexpr std::int64_t kUnreadSlackNs = 2'000'000'000;
// Any non-directory file at least this long in a folder is a message.
inline constexpr std::uintmax_t kMinMessageSize = 10;
// Leftover clean-up leaves alone an Outbox file changed this recently: it
// may still be being written.
inline constexpr std::int64_t kLeftoverMinAgeNs = 60'000'000'000;
// A download in "_TEMP" unchanged this long is left over from a check that
// ended without finishing it.
inline constexpr std::int64_t kDownloadLeftoverAgeNs = 600'000'000'000;

enum class FolderIcon { Inbox, Trash, Outgoing, User };

struct FolderEntry {
  std::string name;  // as shown in the tree
  std::string path;  // with trailing separator; empty when the folder does not exist yet
  FolderIcon icon = FolderIcon::User;
  bool bold = false;  // Outbox, Draft and Trash while they hold a file
};

enum class SummaryResult {
  Ok,
  NotExamined,  // the file's status cannot be read (or it is not a file)
  TooShort,     // shorter than 10 bytes: not a message
  OpenFailed,   // cannot be opened or read
};

// What a folder or message operation did, for the window to show.
enum class FolderResult { Done, Cancelled, Exists, InvalidName, SystemFolder, Failed };

struct DeleteOutcome {
  bool cancelled = false;
  std::vector<std::string> removed;  // source paths whose rows go from the list
  std::string status;                // status line text, empty for none
};

struct MoveOutcome {
  bool refused = false;              // a refusal message was shown and the move stopped
  std::vector<std::string> movedFrom;  // source paths whose rows go from the list
  std::vector<std::string> movedTo;
  std::string status;  // status line text, empty for none
};

class MailStore {
 public:
  explicit MailStore(Application& app);

  Application& App() const { return *app_; }

  // --- paths ------------------------------------------------------------------
  // <data>/email/ with a trailing "/". With create, a missing mail root is
  // created; when that fails "Error creating email directory" is shown and the
  // result is empty. Without create the path is returned as it would be.
  std::string MailRoot(bool create = true) const;
  // <mail root><folder>/ . A system folder name matches its directory in any
  // case. With create, a missing folder is created ("Error creating email
  // directory" and "" on failure); without, a missing folder gives "". An
  // empty name means the mail root itself. A name that is not a plain name
  // (empty, ".", "..", or holding "/" or "\") gives "".
  std::string FolderPath(const std::string& folder, bool create) const;
  // The data folder "_TEMP" (created when missing), trailing "/".
  std::string TempDirectory() const;
  // The name for a message being downloaded: "<_TEMP>M<tick>.new", chosen
  // under the mail lock with a 10 ms pause before the lock is released, so
  // that two names never share a tick; a name whose file exists (a leftover)
  // is passed over. Empty when _TEMP cannot be created.
  std::string NewDownloadPath() const;
  // Removes what downloads left in "_TEMP" when a check was killed: a
  // "M<tick>.new" that has a second name (it was moved into its folder, the
  // removal of the old name did not reach the disk) and one unchanged for
  // ten minutes (a download cut short). Returns how many went.
  int RemoveDownloadLeftovers() const;

  // --- folders ------------------------------------------------------------------
  static bool IsSystemFolder(const std::string& name);
  // The system folder's own spelling ("inbox" -> "Inbox"), or "".
  static std::string SystemFolderName(const std::string& name);
  // The folder tree: Inbox, Outbox, Sent Items, Draft, Trash, then the user
  // folders (every other directory of the mail root, in name order without
  // regard to case). A user directory that is a system folder in another
  // case is that system folder, not listed twice.
  std::vector<std::string> FolderNames() const;
  std::vector<FolderEntry> FolderTree() const;
  // The folder a path names: for a folder path (trailing separator) its own
  // name, for a message path the name of the folder holding it.
  static std::string FolderNameOf(const std::string& path);
  // A message path (or folder path) in an outgoing folder: the folder's name,
  // upper-cased, contains "OUTBOX", "SENT ITEMS" or "DRAFT". Only the
  // folder's own name is tested, so where the data directory lies does not
  // matter.
  static bool IsOutgoingPath(const std::string& path);
  static bool IsTrashPath(const std::string& path);
  static bool IsDraftPath(const std::string& path);

  // --- messages -----------------------------------------------------------------
  // Under the mail lock: records the path and outgoing flag, reads the file's
  // times and the unread flag, and for files of at least 10 bytes scans the
  // header block; the file's times are put back afterwards, so reading a
  // summary never changes the read state. A file that cannot be opened shows
  // "Open Failed". True when the summary was read.
  bool ReadSummary(const std::string& path, MessageSummary& out) const;
  // The same without any message box (for worker threads); times, when
  // given, receives the file's times.
  SummaryResult ReadSummaryQuiet(const std::string& path, MessageSummary& out,
                                 platform::FileTimes* times = nullptr) const;
  // Under the mail lock: the message key of a file ("0" when it cannot be
  // examined; "0" and "Error happened with letter [%s]" when it cannot be
  // opened). The file's times are left as they were.
  std::string MessageKey(const std::string& path) const;
  // The same; when the file cannot be opened the error text goes to *error
  // instead of a message box (for worker threads).
  std::string MessageKey(const std::string& path, std::string* error) const;

  // Reads a whole message file for the program's own use (comparing a
  // download with a stored copy, say) and puts its times back, so that the
  // read leaves the read state as it was.
  bool ReadWholeMessage(const std::string& path, std::string& text) const;

  // A message file's times as the store sees them: never the passing
  // access-time change of a summary being read at that moment.
  static bool MessageTimes(const std::string& path, platform::FileTimes& times);
  // Read state in the file times: unread while the last access is no later
  // than the creation time plus 2 seconds.
  static bool IsUnread(const std::string& path);
  // Creation time := 12:00:00 local time on the calendar day of the last
  // access, one year earlier (29 February becomes the 28th). False when the
  // file cannot be examined or its times set, or when the file system could
  // not keep times that read as read (before its oldest date).
  static bool MarkRead(const std::string& path);
  // Last access := creation time.
  static bool MarkUnread(const std::string& path);

  // Writes "welcome.mail" into Inbox when the Inbox directory holds no entry
  // at all. True when it was written.
  bool EnsureWelcomeMessage() const;

  // Opening the mail window: marks every message in Outbox and Draft unread
  // (pending) again, except the ones a run holds to send them now (see
  // platform::FileClaim; the Outbox's runs claim what they send): marking
  // one of those would let the next flush send it a second time. A message
  // Send Now marked read before its run ended without a word (the program
  // was killed) is pending again, so it is not lost. Returns how many were
  // marked.
  int MarkOutgoingPendingExceptClaimed() const;

  // --- message operations ---------------------------------------------------------
  // Deletes the selected messages: asks "Delete message(s)?" unless
  // [email] DontPromptForDeletion is set (the answer's check box is written
  // back to that setting); a message already in Trash is removed for good,
  // any other is moved to Trash (under another free name when Trash already
  // holds one of that name). trashShown: the window shows Trash (no status
  // text then).
  DeleteOutcome DeleteMessages(const std::vector<std::string>& paths, bool trashShown) const;
  // Moves dropped message files into a folder, one by one, with the
  // refusals "You can not copy from a folder to itself" and "You cannot move
  // files TO or FROM the Outbox, Draft or Sent Items Folders." (moves into
  // Trash are always allowed). Only files of this store's folders are moved;
  // anything else dropped is passed over. A file of the same name in the
  // target keeps its place: the moved file gets another free name.
  MoveOutcome MoveDroppedFiles(const std::vector<std::string>& files, const std::string& folder) const;

  // --- folder operations ----------------------------------------------------------
  // Texts of the window's name prompts.
  static std::string NewFolderTitle();
  static std::string NewFolderPrompt();
  static std::string RenameFolderTitle();
  static std::string RenameFolderPrompt(const std::string& currentName);

  // Creates a user folder. "Folder with this name already exists" when a
  // folder (or system folder) of that name exists in any case.
  FolderResult NewFolder(const std::string& name) const;
  // Renames a user folder; the system folders cannot be renamed and no
  // folder can take a system folder's name.
  FolderResult RenameFolder(const std::string& oldName, const std::string& newName) const;
  // Deletes a user folder and, after "%s contains %d message(s)\nDelete
  // them?", the files in it. A file that cannot be removed stops the deletion
  // ("File could not be removed\n %s \n Aborting folder deletion").
  FolderResult DeleteFolder(const std::string& name) const;
  // Removes every file in Trash (read-only ones too); returns how many were
  // removed. The program's end runs it (RunShutdown), as the status text of
  // a delete promises, and so does the window's Empty Trash command.
  int EmptyTrash() const;
  // Closing the mail window and start-up: removes the Outbox files whose
  // name does not contain ".mail" (half-written messages; one changed within
  // the last minute is left alone) and makes every file in _TEMP and its
  // folders (the viewer's, the forwards') writable again. Returns how many
  // Outbox files were removed.
  int CleanLeftovers() const;

 private:
  std::string ResolveFolderName(const std::string& root, const std::string& folder) const;
  bool SameFolder(const std::string& a, const std::string& b) const;
  // Moves a file into a folder under its own name or, when taken, the next
  // free "name~N.ext". Takes the mail lock. Empty when it failed.
  std::string MoveIntoFolder(const std::string& source, const std::string& folderPath) const;

  Application* app_;
};

}  // namespace vyr
