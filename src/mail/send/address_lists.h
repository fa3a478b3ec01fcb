#pragma once
// The address lists in the mail root (previously sent and received
// addresses, the personal address book of earlier versions) and the system
// address book, which here is a vCard file of our own in the mail root.
//
// List file lines:
//   kinds 1 and 2:  "Name" <address>
//   kind 3:         "Name" address[, address...]
#include <functional>
#include <string>
#include <vector>

namespace vyr {

class Application;
class MessageBoxService;

enum AddressListKind : int {
  kPreviouslySentAddresses = 1,
  kPreviouslyReceivedAddresses = 2,
  kPersonalAddressBook = 3,
  kBetaAddressBook = 4,
};

inline constexpr char kPreviouslySentFile[] = "Previously Sent Email Addresses.txt";
inline constexpr char kPreviouslyReceivedFile[] = "Previously Recieved Email Addresses.txt";
inline constexpr char kPersonalAddressBookFile[] = "Personal Addressbook.txt";
inline constexpr char kBetaAddressBookFile[] = "Vyrelle Beta Addressbook.txt";
inline constexpr char kBadAddressBookCallFile[] = "Bad call to GetAddressBookFile.txt";
// The system address book.
inline constexpr char kSystemAddressBookFile[] = "Address Book.vcf";

inline constexpr char kImportBetaQuestion[] =
    "Vyrelle now uses the Windows Address Book to store email addresses.  Do you want to import "
    "your addresses from the Vyrelle beta Address Book ?";
inline constexpr char kImportBetaTitle[] = "Import Addresses into Windows Address Book";

// The full path of the list file of a kind (mail root + its name; any
// other kind gives "Bad call to GetAddressBookFile.txt").
std::string GetAddressBookFile(const Application& app, int kind);

// Records entries in a list file: the file is created when missing and
// never truncated; an entry already on a line (the same name and address,
// by ParseAddress or as the very line this would write) or given twice is
// written once; the others are appended as "\"name\" <address>\n". Line
// breaks in a name or address become spaces. A file that cannot be opened
// is skipped. Returns how many lines were appended.
int AddAddresses(const Application& app, int kind, const std::vector<std::string>& names,
                 const std::vector<std::string>& addresses);

struct AddressBookEntry {
  std::string displayName;
  std::string addressText;  // one address, or several joined by ","
  bool operator==(const AddressBookEntry&) const = default;
};

// The system address book: a vCard (4.0) file in the mail root, one card
// per entry with FN (the display name) and an EMAIL line per address.
class SystemAddressBook {
 public:
  explicit SystemAddressBook(const Application& app);
  SystemAddressBook(const SystemAddressBook&) = delete;
  SystemAddressBook& operator=(const SystemAddressBook&) = delete;

  // Opens the book (creating the mail root when needed). The open flag is
  // set on success; a failure leaves it clear and reports nothing.
  bool Open();
  bool IsOpen() const { return open_; }
  // Adds an entry; does nothing (false) while the book is closed or when
  // the file cannot be written. The file is replaced atomically.
  bool AddEntry(const std::string& displayName, const std::string& addressText);
  // Adds several entries in one replacement of the file: all or none.
  bool AddEntries(const std::vector<AddressBookEntry>& entries);
  // Removes the first card that gives this entry, leaving every other card
  // as it was written; false when none does or the file cannot be written.
  bool RemoveEntry(const AddressBookEntry& entry);
  // The entries in file order (empty while closed).
  std::vector<AddressBookEntry> List() const;
  void Close() { open_ = false; }

  const std::string& Path() const { return path_; }

 private:
  const Application* app_;
  std::string path_;
  bool open_ = false;
};

// The vCard text of entries (one EMAIL line per address), and back. The
// reader takes what address programs export: vCard 2.1, 3.0 and 4.0,
// folded lines, quoted-printable values (soft line breaks included) in a
// declared character set, escapes, grouped names ("item1.EMAIL"), several
// EMAIL lines (the preferred one first), a name from N when FN is missing
// (else the first address). Values that are not addresses are left out,
// and so are cards without one.
std::string WriteVCards(const std::vector<AddressBookEntry>& entries);
std::vector<AddressBookEntry> ReadVCards(const std::string& text);

// A vCard file imported into the book: entries the book (or the file)
// already holds are not added twice.
struct VCardImport {
  bool read = false;  // the file could be read and the book written
  int added = 0;      // new entries
  int known = 0;      // entries the book already held
};
VCardImport ImportVCardFile(SystemAddressBook& book, const std::string& path);

// The rows of a list file (kinds 1 to 3), line by line: ParseAddress gives
// the entry name, and the address column is every address of the line
// joined by "," when SplitRecipients takes the whole line, else
// ParseAddress's address. Lines ParseAddress rejects are passed over.
std::vector<AddressBookEntry> ReadAddressList(const Application& app, int kind);
// Appends an entry to the personal address book file (kind 3) as
// "\"name\" address text"; false when it cannot be written.
bool AddPersonalEntry(const Application& app, const AddressBookEntry& entry);
// Removes from a list file every line that gives this row; how many.
int RemoveListEntry(const Application& app, int kind, const AddressBookEntry& entry);

// A personal entry as the user typed it. kEntryOk: the name and the
// address text (its addresses joined by ",") are ready to store.
enum class EntryCheck { kEntryOk, kNoName, kNameHasAt, kBadAddress };
EntryCheck CheckNewEntry(AddressBookEntry& entry, std::string& error);

// What picking an entry puts into a recipient box: each of its addresses
// as "name <address>" (the name quoted when it holds a separator or a
// quote; bare when there is no name or the name is the address), joined
// by ", ". Line breaks and control characters of the name become spaces.
std::string RecipientText(const AddressBookEntry& entry);
// A recipient box's text with entries appended: ", " between the old and
// the new, and every entry whose address the box already holds (compared
// without case) left out.
std::string AppendRecipients(const std::string& field, const std::string& entries);

// Imports "Personal Addressbook.txt" into the system address book once,
// after asking. Each line gives one entry: its display name by ParseAddress
// and its address text by SplitRecipients (all addresses joined by ","),
// or ParseAddress's address when the line does not split; lines
// ParseAddress rejects are passed over. Afterwards the file is renamed to
// "Vyrelle Beta Addressbook.txt" (replacing an older one) so the question
// is not asked again. When the book cannot be opened or written, nothing
// is renamed and the import is offered again next time. `refresh` (may be
// empty) is called after the entries were added. True when imported.
bool ImportBetaAddressBook(const Application& app, MessageBoxService& messages,
                           SystemAddressBook& book, const std::function<void()>& refresh = {});

}  // namespace vyr
