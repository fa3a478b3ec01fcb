// The address book window over a compose window, under real XTest clicks
// and keys: the earlier book imported, vCards imported, rows picked into To
// and CC, entries added and deleted. usage: address_book_ui WORK SHOTS
#include <filesystem>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "app/data_seeding.h"
#include "base/settings_table.h"
#include "mail/send/address_lists.h"
#include "mail/windows/address_book_wnd.h"
#include "mail/windows/compose_wnd.h"
#include "platform/windows_dir.h"
#include "ui/windows/button_strip.h"
#include "ui_test_support.h"
#include "xtest_input.h"

namespace {

namespace fs = std::filesystem;
namespace xt = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;
using Entries = std::vector<vyr::AddressBookEntry>;

const char kJoerg[] = "J\xC3\xB6rg M\xC3\xBCller";
const char kFrancois[] = "Fran\xC3\xA7ois D\xC3\xA9j\xC3\xA0";

// 3.0 (folded, grouped, pref second), 4.0 (escaped comma, PREF), 2.1 (QP).
const char kContacts[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xC3\xBCller;J\xC3\xB6rg;;;\r\nFN:J\xC3\xB6rg M\xC3\xBC\r\n ller\r\n"
    "item1.EMAIL;type=INTERNET:joerg@home.example\r\nitem2.EMAIL;type=INTERNET;type=pref:jm@work.example\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\nVERSION:4.0\nFN:Doe\\, Jane\nEMAIL;PREF=2:jane@home.example\nEMAIL;PREF=1:jane@work.example\n"
    "END:VCARD\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Fran=C3=A7ois =\r\nD=C3=A9j=C3=A0\r\n"
    "EMAIL;INTERNET:fd@x.example\r\nEND:VCARD\r\n";

void Type(const std::string& text) {
  for (unsigned char c : text) {
    xt::PressCharacter(c);
    Pause(20);
  }
  Pause(150);
}

void AltKey(KeySym key) {
  Display* d = xt::XDisplay();
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), True, CurrentTime);
  xt::PressKey(key);
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, XK_Alt_L), False, CurrentTime);
  XFlush(d);
  Pause(300);
}

void ClickCentre(wxWindow* window) { xt::Click(window->GetScreenRect().GetPosition() + window->GetSize() / 2); }

void Replace(wxWindow* box, const std::string& text) {
  ClickCentre(box);
  xt::PressKey(XK_a, false, true);
  Type(text);
}

template <class T>
T* Named(wxWindow* parent, const std::string& name) {
  return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

class AddressBookApp : public vyr::test::ChecksApp {
 protected:
  bool Prepare() override {
    if (argc != 3) return false;
    work_ = std::string(argv[1].utf8_str());
    shots_ = std::string(argv[2].utf8_str());
    fs::create_directories(shots_);
    vyr::test::InitWindowTest();
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    app_->Write(vyr::kEmailSmtpServer, std::string("smtp.mail.example"));
    app_->Write(vyr::kEmailAddress, std::string("alice@mail.example"));
    CSchemeArt::Load(*app_);
    return true;
  }

  void RunChecks() override {
    CheckOpening();
    if (!book_) return;
    CheckImport();
    CheckPicking();
    CheckAddAndDelete();
  }

 private:
  std::string ColumnTitle(int column) const {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    book_->List()->GetColumn(column, item);
    return std::string(item.GetText().utf8_str());
  }

  int RowOf(const std::string& name) const {
    for (long row = 0; row < book_->List()->GetItemCount(); ++row)
      if (std::string(book_->List()->GetItemText(row, 0).utf8_str()) == name) return static_cast<int>(row);
    return -1;
  }

  void ClickRow(int row) {
    wxRect rect;
    book_->List()->GetItemRect(row, rect);
    xt::Click(book_->List()->ClientToScreen(rect.GetPosition() + wxPoint(20, rect.height / 2)));
    Pause(300);
  }

  void CheckOpening() {
    vyr::test::WriteFile(vyr::GetAddressBookFile(*app_, vyr::kPersonalAddressBook),
                         "\"Old Friend\" old@mail.example\n");
    compose_ = CComposeWnd::OpenNew(*app_);
    Check(xt::Focus(compose_), "compose_focus_given");
    Pause(300);
    CButtonStrip* toolbar = compose_->Toolbar();
    int entry = 0;
    while (entry + 1 < static_cast<int>(toolbar->Entries().size()) &&
           toolbar->Entries()[static_cast<size_t>(entry)].command != CComposeWnd::kAddressBook)
      ++entry;
    vyr::test::ClickAt(toolbar, toolbar->EntryRect(entry));
    PumpUntil([&] { return (book_ = Named<CAddressBookWnd>(compose_, "address_book")) != nullptr; }, 8000);
    if (!Check(book_ != nullptr, "address_book_button_opens_the_window")) return;
    xt::Focus(book_);
    Pause(300);
    std::vector<std::string> sources;
    for (unsigned i = 0; i < book_->Sources()->GetCount(); ++i) sources.push_back(book_->Sources()->GetString(i).utf8_string());
    Check(vyr::test::Saw(boxes_, "question", vyr::kImportBetaQuestion) &&
              book_->Entries() == Entries{{"Old Friend", "old@mail.example"}} &&
              sources == std::vector<std::string>{"Vyrelle Address Book", "Previously sent", "Previously received"} &&
              book_->List()->GetColumnCount() == 2 && ColumnTitle(1) == "E-mail addresses",
          "earlier_personal_book_imported_on_opening");
  }

  // Answers the file chooser from a timer: Ctrl+L, the path, Enter.
  void TypeInNextFileDialog(const std::string& path) {
    timer_.Bind(wxEVT_TIMER, [this, path](wxTimerEvent&) {
      GtkWindow* chooser = nullptr;
      GList* all = gtk_window_list_toplevels();
      for (GList* w = all; w; w = w->next)
        if (GTK_IS_FILE_CHOOSER(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) chooser = GTK_WINDOW(w->data);
      g_list_free(all);
      if (!chooser) return;
      timer_.Stop();
      PumpUntil([&] {
        XSetInputFocus(xt::XDisplay(), gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(chooser))),
                       RevertToParent, CurrentTime);
        XFlush(xt::XDisplay());
        return gtk_window_is_active(chooser) == TRUE;
      }, 5000);
      Pause(500);
      xt::PressKey(XK_l, false, true);
      Pause(300);
      Type(path);
      Pause(300);
      xt::PressKey(XK_Return);
    });
    timer_.Start(300);
  }

  void CheckImport() {
    const std::string vcf = work_ + "/contacts.vcf";
    vyr::test::WriteFile(vcf, kContacts);
    TypeInNextFileDialog(vcf);
    AltKey(XK_i);  // Import vCard...
    PumpUntil([&] { return book_->Entries().size() == 4; }, 20000);
    timer_.Stop();
    const Entries expected = {{"Old Friend", "old@mail.example"},
                              {kJoerg, "jm@work.example,joerg@home.example"},
                              {"Doe, Jane", "jane@work.example,jane@home.example"},
                              {kFrancois, "fd@x.example"}};
    Check(book_->Entries() == expected && RowOf(kJoerg) == 1 && RowOf(kFrancois) == 3 &&
              vyr::test::Saw(boxes_, "info", "3 new entries imported, 0 already in the address book."),
          "vcf_cards_imported_with_their_names");
  }

  void CheckPicking() {
    const std::string jorg = std::string(kJoerg) + " <jm@work.example>, " + kJoerg + " <joerg@home.example>";
    ClickRow(RowOf(kJoerg));
    ClickCentre(Named<wxButton>(book_, "book_to"));
    Pause(300);
    vyr::test::SaveScreen(shots_ + "/address_book.png");
    Check(compose_->ToBox()->GetValue().utf8_string() == jorg, "clicked_row_picked_into_to");
    // Again by keys: nothing doubles. Down twice is François; Alt+C puts him in CC.
    book_->List()->SetFocus();
    AltKey(XK_t);
    const std::string again = compose_->ToBox()->GetValue().utf8_string();
    xt::PressKey(XK_Down);
    Pause(150);
    xt::PressKey(XK_Down);
    Pause(300);
    AltKey(XK_c);
    auto* cc = Named<wxTextCtrl>(compose_, "CC");
    Check(again == jorg && cc && cc->GetValue().utf8_string() == std::string(kFrancois) + " <fd@x.example>",
          "keys_pick_into_cc_without_doubles");
  }

  void CheckAddAndDelete() {
    auto* name = Named<wxTextCtrl>(book_, "book_name");
    auto* addresses = Named<wxTextCtrl>(book_, "book_addresses");
    Replace(name, "zoe@quinn");
    Replace(addresses, "zoe@mail.example");
    AltKey(XK_a);
    const bool refused = vyr::test::Saw(boxes_, "error", "Entry names can not contain the @ symbol");
    Replace(name, "Zoe Quinn");
    ClickCentre(Named<wxButton>(book_, "book_add"));
    PumpUntil([&] { return RowOf("Zoe Quinn") >= 0; }, 5000);
    vyr::SystemAddressBook stored(*app_);
    stored.Open();
    const Entries afterAdd = stored.List();
    Check(refused && vyr::test::Saw(boxes_, "question", "Add Zoe Quinn to your personal address book?") &&
              afterAdd.size() == 5 && afterAdd.back() == vyr::AddressBookEntry{"Zoe Quinn", "zoe@mail.example"},
          "entry_added_after_the_question_and_refused_with_at");
    book_->List()->SetFocus();
    Pause(200);
    xt::PressKey(XK_Delete);
    PumpUntil([&] { return RowOf("Zoe Quinn") < 0; }, 5000);
    Check(vyr::test::Saw(boxes_, "question", "Delete Zoe Quinn?") && stored.List().size() == 4 &&
              book_->Entries().size() == 4,
          "entry_deleted_after_the_question");
  }

  std::string work_, shots_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  wxWeakRef<CComposeWnd> compose_;
  CAddressBookWnd* book_ = nullptr;
  wxTimer timer_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(AddressBookApp)
