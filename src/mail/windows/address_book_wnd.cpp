#include "mail/windows/address_book_wnd.h"

#include <gtk/gtk.h>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "base/application.h"
#include "base/message_box.h"
#include "mail/windows/mail_texts.h"
#include "platform/file_system.h"
#include "platform/string_table.h"

namespace {

using vyr::platform::TextId;

// The sources and the columns.
constexpr TextId kPersonalSource{33220}, kEntryNameColumn{33222}, kAddressesColumn{33223}, kSentSource{33224},
    kReceivedSource{33225}, kBookSource{41200};
// The window's controls.
constexpr TextId kShowLabel{41201}, kToButton{41202}, kCcButton{41203}, kBccButton{41204}, kAddButton{41205},
    kDeleteButton{41206}, kImportButton{41207}, kCloseButton{41208}, kNameLabel{41217}, kAddressesLabel{41218},
    kListName{41219};
// Questions and messages.
constexpr TextId kAddQuestion{41209}, kDeleteQuestion{41210}, kNameWithAt{41211}, kNoName{41212},
    kImported{41213}, kNotImported{41214}, kVCardFilter{41215}, kImportTitle{41216}, kSelectFirst{41221}, kNotWritten{41222};

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

std::string Filled(std::string text, const std::vector<std::string>& values) {
  size_t from = 0;
  for (const std::string& value : values) {
    const size_t at = text.find_first_of('%', from);
    if (at == std::string::npos || at + 1 >= text.size()) break;
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}

// A text field or a list is not named by the label beside it: screen
// readers get the label's words.
void NameForScreenReaders(wxWindow* control, const wxString& label) {
  wxString name = wxStripMenuCodes(label);
  if (name.EndsWith(":")) name.RemoveLast();
  if (AtkObject* accessible = gtk_widget_get_accessible(control->GetConnectWidget()))
    atk_object_set_name(accessible, name.utf8_str());
}

// The key letter of a label ("&To ->": 'T'), 0 when it has none.
wxChar KeyLetter(const wxString& label) {
  const int mark = label.Find('&');
  if (mark == wxNOT_FOUND || static_cast<size_t>(mark) + 1 >= label.length()) return 0;
  return wxToupper(label[static_cast<size_t>(mark) + 1]);
}

// One line of a name or an address text in a list cell.
wxString Cell(const std::string& text) {
  wxString cell = Wx(text);
  for (size_t i = 0; i < cell.length(); ++i)
    if (cell[i] < ' ') cell[i] = ' ';
  return cell;
}

}  // namespace

CAddressBookWnd* CAddressBookWnd::Open(vyr::Application& app, wxWindow* opener, CComposeWnd* compose) {
  for (wxWindow* child : opener->GetChildren()) {
    if (auto* book = dynamic_cast<CAddressBookWnd*>(child); book && !book->IsBeingDeleted()) {
      book->Show();
      book->Raise();
      return book;
    }
  }
  // The personal address book of earlier versions is offered first, so
  // that the window lists what it holds.
  {
    vyr::SystemAddressBook book(app);
    vyr::ImportBetaAddressBook(app, app.Messages(), book);
  }
  auto* book = new CAddressBookWnd(app, opener, compose);
  book->Show();
  return book;
}

CAddressBookWnd::CAddressBookWnd(vyr::Application& app, wxWindow* opener, CComposeWnd* compose)
    : CColoredDlg(opener, Wx(mail_text::kAddressBookButton.Text()), true), app_(app), book_(app), target_(compose) {
  SetName("address_book");
  wxPanel* panel = ContentPanel();

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  auto* showLabel = new wxStaticText(panel, wxID_ANY, Wx(kShowLabel.Text()));
  sources_ = new wxChoice(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, 0, wxDefaultValidator,
                          "book_source");
  NameForScreenReaders(sources_, showLabel->GetLabel());
  top->Add(showLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(6));
  top->Add(sources_, 1, wxALIGN_CENTER_VERTICAL);

  list_ = new wxListCtrl(panel, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(420, 240)), wxLC_REPORT | wxBORDER_SUNKEN,
                         wxDefaultValidator, "book_list");
  list_->AppendColumn(Wx(kEntryNameColumn.Text()), wxLIST_FORMAT_LEFT, FromDIP(100));
  list_->AppendColumn(Wx(kAddressesColumn.Text()), wxLIST_FORMAT_LEFT, FromDIP(300));
  NameForScreenReaders(list_, Wx(kListName.Text()));

  auto button = [&](const TextId& label, const char* name, int id = wxID_ANY) {
    return new wxButton(panel, id, Wx(label.Text()), wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator, name);
  };
  auto* picks = new wxBoxSizer(wxVERTICAL);
  wxButton* to = button(kToButton, "book_to");
  wxButton* cc = button(kCcButton, "book_cc");
  wxButton* bcc = button(kBccButton, "book_bcc");
  for (wxButton* b : {to, cc, bcc}) picks->Add(b, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
  auto* middle = new wxBoxSizer(wxHORIZONTAL);
  middle->Add(list_, 1, wxEXPAND | wxRIGHT, FromDIP(8));
  middle->Add(picks, 0);

  // The new entry's boxes, each made after its label so that the label's
  // key letter reaches it.
  auto* entry = new wxFlexGridSizer(3, FromDIP(4), FromDIP(6));
  entry->AddGrowableCol(1, 1);
  auto* nameLabel = new wxStaticText(panel, wxID_ANY, Wx(kNameLabel.Text()));
  name_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                         "book_name");
  auto* addressesLabel = new wxStaticText(panel, wxID_ANY, Wx(kAddressesLabel.Text()));
  addresses_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "book_addresses");
  NameForScreenReaders(name_, nameLabel->GetLabel());
  NameForScreenReaders(addresses_, addressesLabel->GetLabel());
  wxButton* add = button(kAddButton, "book_add");
  entry->Add(nameLabel, 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
  entry->Add(name_, 1, wxEXPAND);
  entry->AddSpacer(0);
  entry->Add(addressesLabel, 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
  entry->Add(addresses_, 1, wxEXPAND);
  entry->Add(add, 0);

  auto* bottom = new wxBoxSizer(wxHORIZONTAL);
  wxButton* remove = button(kDeleteButton, "book_delete");
  wxButton* import = button(kImportButton, "book_import");
  wxButton* close = button(kCloseButton, "book_close", wxID_CANCEL);
  bottom->Add(remove, 0, wxRIGHT, FromDIP(6));
  bottom->Add(import, 0);
  bottom->AddStretchSpacer();
  bottom->Add(close, 0);
  SetEscapeId(wxID_CANCEL);

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  const int gap = FromDIP(10);
  sizer->Add(top, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, gap);
  sizer->Add(middle, 1, wxEXPAND | wxALL, gap);
  sizer->Add(entry, 0, wxEXPAND | wxLEFT | wxRIGHT, gap);
  sizer->Add(bottom, 0, wxEXPAND | wxALL, gap);
  panel->SetSizer(sizer);

  // The sources: the address book when it opens, the personal file while
  // there is one (or in the book's place), then the two lists.
  book_.Open();
  if (book_.IsOpen()) kinds_.push_back(0);
  if (!book_.IsOpen() ||
      vyr::platform::FileExists(vyr::GetAddressBookFile(app_, vyr::kPersonalAddressBook)))
    kinds_.push_back(vyr::kPersonalAddressBook);
  kinds_.push_back(vyr::kPreviouslySentAddresses);
  kinds_.push_back(vyr::kPreviouslyReceivedAddresses);
  for (int kind : kinds_) {
    const TextId& text = kind == 0                           ? kBookSource
                         : kind == vyr::kPersonalAddressBook ? kPersonalSource
                         : kind == vyr::kPreviouslySentAddresses ? kSentSource
                                                                 : kReceivedSource;
    sources_->Append(Wx(text.Text()));
  }
  sources_->SetSelection(0);

  sources_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { Reload(); });
  to->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Pick(CComposeWnd::Field::kTo); });
  cc->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Pick(CComposeWnd::Field::kCc); });
  bcc->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Pick(CComposeWnd::Field::kBcc); });
  add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddEntry(); });
  remove->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { DeleteEntries(); });
  import->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ImportVCards(); });
  close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
  // A double click or Enter on a row picks it into To.
  list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { Pick(CComposeWnd::Field::kTo); });
  // The selected row fills the new entry's boxes: adding a row of the
  // sent or received addresses keeps it.
  list_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent& event) {
    const long row = event.GetIndex();
    if (row >= 0 && static_cast<size_t>(row) < entries_.size()) {
      name_->ChangeValue(Cell(entries_[static_cast<size_t>(row)].displayName));
      addresses_->ChangeValue(Wx(entries_[static_cast<size_t>(row)].addressText));
    }
  });
  list_->Bind(wxEVT_LIST_KEY_DOWN, [this](wxListEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) DeleteEntries();
    else event.Skip();
  });
  // Alt and a button's key letter presses it at once.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetModifiers() == wxMOD_ALT) {
      for (wxWindow* child : ContentPanel()->GetChildren()) {
        auto* b = wxDynamicCast(child, wxButton);
        if (!b || !b->IsEnabled() || KeyLetter(b->GetLabel()) != wxToupper(event.GetKeyCode())) continue;
        wxCommandEvent click(wxEVT_BUTTON, b->GetId());
        click.SetEventObject(b);
        b->ProcessWindowEvent(click);
        return;
      }
    }
    event.Skip();
  });

  FinishLayout();
  SetMinSize(GetSize());
  Reload();
  list_->SetFocus();
}

int CAddressBookWnd::SourceKind() const {
  const int index = sources_->GetSelection();
  return index >= 0 && static_cast<size_t>(index) < kinds_.size() ? kinds_[static_cast<size_t>(index)] : 0;
}

void CAddressBookWnd::ShowSource(int index) {
  sources_->SetSelection(index);
  Reload();
}

void CAddressBookWnd::Reload() {
  const int kind = SourceKind();
  entries_ = kind == 0 ? book_.List() : vyr::ReadAddressList(app_, kind);
  list_->Freeze();
  list_->DeleteAllItems();
  for (size_t i = 0; i < entries_.size(); ++i) {
    const long row = list_->InsertItem(static_cast<long>(i), Cell(entries_[i].displayName));
    list_->SetItem(row, 1, Cell(entries_[i].addressText));
  }
  if (!entries_.empty()) list_->SetItemState(0, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
  list_->Thaw();
}

std::vector<int> CAddressBookWnd::SelectedRows() const {
  std::vector<int> rows;
  for (long row = list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
       row = list_->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
    if (static_cast<size_t>(row) < entries_.size()) rows.push_back(static_cast<int>(row));
  }
  return rows;
}

bool CAddressBookWnd::Pick(CComposeWnd::Field field) {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    app_.Messages().Information(kSelectFirst.Text(), mail_text::kAddressBookButton.Text());
    return false;
  }
  std::string picked;
  for (int row : rows) {
    const std::string text = vyr::RecipientText(entries_[static_cast<size_t>(row)]);
    if (!text.empty()) picked += (picked.empty() ? "" : ", ") + text;
  }
  if (!target_) {
    // Opened from the mail window: the first pick starts a message.
    CComposeWnd::Prefill fill;
    if (field == CComposeWnd::Field::kTo) fill.to = picked;
    if (field == CComposeWnd::Field::kCc) fill.cc = picked;
    target_ = CComposeWnd::OpenNew(app_, fill);
    if (target_ && field == CComposeWnd::Field::kBcc) target_->AddRecipients(field, picked);
    Raise();
    return target_.get() != nullptr;
  }
  return target_->AddRecipients(field, picked);
}

void CAddressBookWnd::SelectRowOf(const vyr::AddressBookEntry& entry) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i] != entry) continue;
    list_->SetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                        wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    list_->EnsureVisible(static_cast<long>(i));
    return;
  }
}

void CAddressBookWnd::AddEntry() {
  const std::string caption = mail_text::kAddressBookButton.Text();
  vyr::AddressBookEntry entry{Utf8(name_->GetValue()), Utf8(addresses_->GetValue())};
  std::string error;
  switch (vyr::CheckNewEntry(entry, error)) {
    case vyr::EntryCheck::kNoName:
      app_.Messages().Error(kNoName.Text(), caption);
      name_->SetFocus();
      return;
    case vyr::EntryCheck::kNameHasAt:
      app_.Messages().Error(kNameWithAt.Text(), caption);
      name_->SetFocus();
      return;
    case vyr::EntryCheck::kBadAddress:
      app_.Messages().Error(error, caption);
      addresses_->SetFocus();
      return;
    case vyr::EntryCheck::kEntryOk: break;
  }
  if (app_.Messages().Question(Filled(kAddQuestion.Text(), {entry.displayName}), caption) != vyr::IDYES) return;
  const bool added = book_.IsOpen() ? book_.AddEntry(entry.displayName, entry.addressText)
                                    : vyr::AddPersonalEntry(app_, entry);
  if (!added) {
    const std::string file = book_.IsOpen() ? book_.Path() : vyr::GetAddressBookFile(app_, vyr::kPersonalAddressBook);
    app_.Messages().Error(Filled(kNotWritten.Text(), {file}), caption);
    return;
  }
  name_->Clear();
  addresses_->Clear();
  ShowSource(0);
  SelectRowOf(entry);
  list_->SetFocus();
}

void CAddressBookWnd::DeleteEntries() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return;
  std::string names;
  for (int row : rows) names += (names.empty() ? "" : ", ") + Utf8(Cell(entries_[static_cast<size_t>(row)].displayName));
  if (app_.Messages().Question(Filled(kDeleteQuestion.Text(), {names}), mail_text::kAddressBookButton.Text()) !=
      vyr::IDYES)
    return;
  const int kind = SourceKind();
  // Equal rows of a list file go together; in the book one card per row.
  for (int row : rows) {
    const vyr::AddressBookEntry& entry = entries_[static_cast<size_t>(row)];
    if (kind == 0) book_.RemoveEntry(entry);
    else vyr::RemoveListEntry(app_, kind, entry);
  }
  Reload();
  list_->SetFocus();
}

void CAddressBookWnd::ImportVCards() {
  wxFileDialog dialog(this, Wx(kImportTitle.Text()), wxEmptyString, wxEmptyString, Wx(kVCardFilter.Text()),
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  ImportVCardFile(Utf8(dialog.GetPath()));
}

void CAddressBookWnd::ImportVCardFile(const std::string& path) {
  const std::string caption = mail_text::kAddressBookButton.Text();
  const vyr::VCardImport result = book_.Open() ? vyr::ImportVCardFile(book_, path) : vyr::VCardImport{};
  if (!result.read) {
    app_.Messages().Error(Filled(kNotImported.Text(), {path}), caption);
    return;
  }
  // The address book may have been closed before: it is the first source.
  if (kinds_.empty() || kinds_[0] != 0) {
    kinds_.insert(kinds_.begin(), 0);
    sources_->Insert(Wx(kBookSource.Text()), 0);
  }
  ShowSource(0);
  app_.Messages().Information(Filled(kImported.Text(), {std::to_string(result.added), std::to_string(result.known)}),
                              caption);
  list_->SetFocus();
}
