// The search bar, search window, history eraser and Open dialog in the real
// main window under real XTest keys and clicks; the test HTTP server prints
// each request as "PAGE QUERY". usage: search_windows_ui WORK_DIR SHOT_DIR
#include <filesystem>
#include <fstream>

#include <wx/combobox.h>
#include <wx/treectrl.h>

#include "app/data_seeding.h"
#include "app/shell.h"
#include "platform/profile_file.h"
#include "platform/windows_dir.h"
#include "tools/python_fixture.h"
#include "ui_test_support.h"
#include "xtest_input.h"

namespace {

namespace fs = std::filesystem;
namespace xt = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
void Type(const std::string& text) {
  for (unsigned char c : text) xt::PressCharacter(c), Pause(20);
  xt::PressKey(XK_Return);
}
void ClickCentre(wxWindow* w) { xt::Click(w->GetScreenRect().GetPosition() + w->GetSize() / 2); }
std::string Std(const wxString& s) { return std::string(s.utf8_str()); }

class SearchWindowsApp : public vyr::test::ChecksApp {
 protected:
  bool Prepare() override {
    if (argc != 3) return false;
    work_ = Std(argv[1]), shots_ = Std(argv[2]);
    vyr::test::InitWindowTest();
    fs::create_directories(work_ + "/files");
    setenv("FILES_DIR", (work_ + "/files").c_str(), 1);
    std::string error;
    if (!server_.Start("http_server.py", {}, &error)) return Check(false, "server", error);
    url_ = "http://127.0.0.1:" + std::to_string(server_.Port());
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    // find.htm: its own link and another site's frame that is one big link.
    const std::string other = "http://localhost:" + std::to_string(server_.Port());
    WriteText(work_ + "/files/frame.html", "<a href='" + url_ + "/echo?framejump' style='display:block;height:300px'>frame</a>");
    fs::remove(app_->GetDataDirectory("Pages") + "find.htm");
    WriteText(work_ + "/files/find.htm", "<a id='own' href='" + url_ + "/echo?mainjump'>main</a><br><iframe id='frame' src='" +
                                             other + "/files/frame.html' style='width:300px;height:120px'></iframe>");
    WriteText(app_->GetDataDirectory("Search") + "search.nsf",
              "~XX:\r\n~FO:Tests\r\n~PN:Page one\r\n~PU:" + url_ + "/echo?searchpage1\r\n~XX:\r\n");
    vyr::test::WriteWindowProfile(*app_, url_, vyr::test::TitledPage(url_, "start"), wxRect(0, 0, 1000, 700));
    app_->WriteString("Search", "Web", url_ + "/echo?q=%s");
    app_->WriteString("Search", "Pictures", url_ + "/echo?%n%s");
    app_->WriteInt("Search", "AutoHide", 0);
    app_->WriteString("TypedURLs", "url1", "typed.example");
    robot_.Start();
    return true;
  }

  bool Asked(const std::string& text) {
    bool seen = false;
    PumpUntil([&] {
      for (std::string line = server_.Line(1); !seen && !line.empty(); line = seen ? "" : server_.Line(1))
        seen = line.find(text) != std::string::npos;
      return seen;
    });
    return seen;
  }
  std::string MainUrl() { return main_->ActivePane()->CurrentUrl(); }

  void RunChecks() override {
    main_ = vyr::test::StartMainWindow(*app_);
    PumpUntil([&] { return !main_->ActivePane()->IsLoading() && !MainUrl().empty(); });
    main_->PostMenuCommand(vyr::kSearchInternetCommand);
    auto* term = PumpUntil([] { return xt::Named("searchterm"); }) ? xt::Named<wxComboBox>("searchterm") : nullptr;
    if (!Check(term != nullptr, "search_bar_opens")) return;
    xt::Focus(wxGetTopLevelParent(term));
    ClickCentre(term);
    Pause(300);
    Type("AT&T");
    Check(Asked("q=AT%26T"), "search_term_percent_encoded");
    term->SetValue("");
    Type("second");
    const bool sent = Asked("q=second");
    Check(sent && term->GetCount() == 2 && Std(term->GetString(0)) + "|" + Std(term->GetString(1)) == "second|AT&T" &&
              app_->GetString("searchmru", "mru2") == "AT&T",
          "term_list_after_two_searches");
    ClickCentre(xt::Named("searchtype6"));
    term->SetFocus();
    term->SetValue("");
    Type("x");
    Check(Asked("nx"), "template_with_percent_n");
    vyr::test::SaveScreen(shots_ + "/search_bar.png");

    // The bar's own link goes to the main browser; its frame's never does.
    auto* bar = xt::Named<CBrowserWnd>("searchbarpane");
    xt::Click(vyr::test::ElementOnScreen(bar, "own").GetPosition() + wxPoint(4, 4));
    Check(Asked("mainjump") && PumpUntil([&] { return MainUrl().find("mainjump") != std::string::npos; }),
          "bar_link_opens_in_main_browser");
    wxGetTopLevelParent(bar)->Raise();  // the main window came up with its page
    xt::Focus(wxGetTopLevelParent(bar));
    const wxRect frame = vyr::test::ElementOnScreen(bar, "frame");
    xt::Click(frame.GetPosition() + frame.GetSize() / 2);
    const bool followed = Asked("framejump");
    Pause(1000);
    Check(followed && MainUrl().find("mainjump") != std::string::npos, "frame_leaves_main_browser");
    main_->OpenSearchWindow();
    auto* tree = PumpUntil([] { return xt::Named("searchtree"); }) ? xt::Named<wxTreeCtrl>("searchtree") : nullptr;
    wxTreeItemIdValue cookie;
    const wxTreeItemId folder = tree ? tree->GetFirstChild(tree->GetRootItem(), cookie) : wxTreeItemId();
    const wxTreeItemId page = folder.IsOk() ? tree->GetFirstChild(folder, cookie) : wxTreeItemId();
    if (!Check(page.IsOk() && Std(tree->GetItemText(folder)) == "Tests" && Std(tree->GetItemText(page)) == "Page one",
               "search_tree_read"))
      return;
    wxRect at;
    tree->GetBoundingRect(page, at, true);
    xt::Click(tree->ClientToScreen(at.GetPosition() + at.GetSize() / 2));
    auto* pane = xt::Named<CBrowserWnd>("searchpane");
    Check(Asked("searchpage1") && PumpUntil([&] { return pane->CurrentUrl().find("searchpage1") != std::string::npos; }) &&
              MainUrl().find("mainjump") != std::string::npos,
          "search_page_shown_inside_window");
    vyr::test::SaveScreen(shots_ + "/search_window.png");

    CheckHistoryEraser();
    CheckOpenDialog();
  }

  // The eraser on an unwritable profile, then on the real one with a cookie.
  void CheckHistoryEraser() {
    auto erase = [&] {
      robot_.When("erasehistory", [] { ClickCentre(xt::Named("erasehistory")); });
      const size_t before = boxes_.boxes.size();
      main_->PostMenuCommand(kCmdHistory);
      PumpUntil([&] { return boxes_.boxes.size() > before; });
      return boxes_.boxes.size() > before ? boxes_.boxes.back() : vyr::test::RecordingMessageBox::Box{};
    };
    const std::string cookiePage = vyr::test::EchoPage(url_, "<script>document.write('c:' + document.cookie)</script>");
    main_->NavigateMainBrowser(vyr::test::EchoPage(url_, "<script>document.cookie='vyrtest=1;max-age=3600'</script>"));
    Pause(1500);
    auto cookieSeen = [&] {
      main_->NavigateMainBrowser(cookiePage);
      PumpUntil([&] { return MainUrl() == cookiePage && !main_->ActivePane()->IsLoading(); });
      return vyr::test::ReadPage(main_->ActivePane(), "document.body.innerText").find("vyrtest=1") != std::string::npos;
    };
    const bool hadCookie = cookieSeen();
    const std::string profile = app_->ProfilePath();
    fs::rename(profile, profile + ".kept");
    fs::create_directory(profile);
    vyr::platform::ClearProfileCache();
    const auto refused = erase();
    fs::remove(profile);
    fs::rename(profile + ".kept", profile);
    vyr::platform::ClearProfileCache();
    Check(refused.kind == "error" && refused.text.find("could not be erased") != std::string::npos,
          "eraser_reports_unwritable_profile");
    main_->NavigateMainBrowser(vyr::test::EchoPage(url_, "<script>document.cookie='vyrtest=1;max-age=3600'</script>"));
    Pause(1500);
    app_->WriteString("TypedURLs", "url1", "typed.example");
    const auto erased = erase();
    Check(hadCookie && erased.kind == "info" && erased.text == "Your history has been erased" && !cookieSeen() &&
              main_->TypedAddresses().Entries().empty() &&
              vyr::platform::ReadProfileSection(profile, "TypedURLs").empty(),
          "eraser_empties_lists_and_engine_data");
  }

  // A count of a thousand million files opens at once, with ten.
  void CheckOpenDialog() {
    app_->WriteInt("FilesOpened", "Num", 1000000000);
    for (int n = 1; n <= 12; ++n) app_->WriteString("FilesOpened", "File" + std::to_string(n), "f" + std::to_string(n));
    WriteText(work_ + "/files/local.htm", "<title>local</title>");
    unsigned shown = 0;
    robot_.When("openaddress", [&] {
      auto* box = xt::Named<wxComboBox>("openaddress");
      shown = box->GetCount();
      vyr::test::SaveScreen(shots_ + "/open_dialog.png");
      box->SetFocus();
      box->SetValue("");
      Type(work_ + "/files/local.htm");
    });
    main_->PostMenuCommand(kOpenCommand);
    PumpUntil([&] { return MainUrl().find("local.htm") != std::string::npos; }, 15000);
    Check(shown == 10 && MainUrl() == "file://" + work_ + "/files/local.htm" &&
              app_->GetString("FilesOpened", "File1") == work_ + "/files/local.htm",
          "open_dialog_with_huge_count");
  }

  std::string work_, shots_, url_;
  vyr::test::PythonFixture server_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(SearchWindowsApp)
