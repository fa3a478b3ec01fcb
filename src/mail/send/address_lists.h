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
// per entry with FN (the display name) and EMAIL (the address text).
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
  // The entries in file order (empty while closed).
  std::vector<AddressBookEntry> List() const;
  void Close() { open_ = false; }

  const std::string& Path() const { return path_; }

 private:
  const Application* app_;
  std::string path_;
  bool open_ = false;
};

// The vCard text of entries, and back (folded lines and escapes undone;
// cards without an FN or EMAIL line are passed over).
std::string WriteVCards(const std::vector<AddressBookEntry>& entries);
std::vector<AddressBookEntry> ReadVCards(const std::string& text);

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
