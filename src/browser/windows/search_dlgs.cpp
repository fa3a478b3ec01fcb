#include "browser/windows/search_dlgs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>

#include "base/application.h"
#include "browser/search_model.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/url_canonicalizer.h"
#include "ui/windows/browser_wnd.h"
#include "ui/windows/colored_dlg.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kSearchBarCaption{33381};  // "Whatever you need to know... it's out there."
constexpr TextId kTypeLabels[vyr::kSearchTypeCount] = {TextId{41673}, TextId{41674}, TextId{41675}, TextId{41676},
                                                       TextId{41677}, TextId{41678}, TextId{41679}};
constexpr TextId kSearchButton{41680};
constexpr TextId kAutoHideBox{41681};
constexpr TextId kSearchWindowCaption{41683};
constexpr TextId kSearchTreeName{41684};
constexpr TextId kPaneName{41685};
constexpr TextId kQuoteCaption{41686};
constexpr TextId kSymbolLabel{41687};
constexpr TextId kQuoteActions[] = {TextId{41688}, TextId{41689}, TextId{41690}, TextId{41691}};

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
wxString Wx(const TextId& text) { return Wx(text.Text()); }
std::string Std(const wxString& text) { return std::string(text.utf8_str()); }

std::string FileAddress(const std::string& path) { return "file://" + vyr::platform::PercentEncode(path, "/"); }

// The policy of an embedded pane: it trusts its own folder's pages and the
// home server, opens no windows, downloads nothing and takes command links
// only (trusted ones run, the rest are refused by the filter).
vyr::NavigationPolicy EmbeddedPolicy(const vyr::Application& app, const std::string& folder) {
  vyr::NavigationPolicy::Options options;
  options.homeServer = app.HomeServer();
  if (!folder.empty()) options.programFolders = {folder};
  options.takes = vyr::kTakesCommands;
  return vyr::NavigationPolicy(std::move(options));
}

void FillCombo(wxComboBox* box, const std::vector<std::string>& entries) {
  box->Clear();
  for (const std::string& entry : entries) box->Append(Wx(entry));
}

// The embedded pane of a window: routes each navigation of its own.
class CEmbeddedPaneOwner : public CBrowserOwner {
 public:
  CEmbeddedPaneOwner(const SearchHost& host, std::function<void()> handedOver)
      : host_(host), handedOver_(std::move(handedOver)) {}
  void Attach(CBrowserWnd* pane, vyr::EmbeddedPages pages) {
    pane_ = pane;
    pages_ = std::move(pages);
  }

  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override {
    return host_.special && host_.special(url, verdict);
  }
  void BeforeNavigate(const std::string& url, bool, bool& cancel) override {
    const vyr::NavigationFacts* facts = pane_ ? pane_->DecidingFacts() : nullptr;
    if (!facts) {
      cancel = true;
      return;
    }
    switch (vyr::RouteEmbeddedNavigation(*facts, pages_)) {
      case vyr::EmbeddedNavigation::Stay: break;
      case vyr::EmbeddedNavigation::Refuse: cancel = true; break;
      case vyr::EmbeddedNavigation::HandToMain:
        cancel = true;
        HandOver(url);
        break;
    }
  }
  void NewWindowRefused(const std::string& url, const vyr::NavigationVerdict&) override {
    const vyr::NavigationFacts* facts = pane_ ? pane_->DecidingFacts() : nullptr;
    if (facts && vyr::RouteEmbeddedNavigation(*facts, pages_) == vyr::EmbeddedNavigation::HandToMain) HandOver(url);
  }
  void ProgressChange(int progress, int maximum) override {
    if (onProgress_) onProgress_(maximum > 0 ? progress * 100 / maximum : progress);
  }
  void DocumentComplete(const std::string&, bool topLevel) override {
    if (topLevel && onProgress_) onProgress_(100);
  }
  void SetOnProgress(std::function<void(int)> f) { onProgress_ = std::move(f); }

 private:
  void HandOver(const std::string& url) {
    if (host_.navigate) host_.navigate(url);
    if (handedOver_) handedOver_();
  }

  SearchHost host_;
  std::function<void()> handedOver_;
  CBrowserWnd* pane_ = nullptr;
  vyr::EmbeddedPages pages_;
  std::function<void(int)> onProgress_;
};

// --- the search bar -------------------------------------------------------------------

class CSearchBarDlg : public CColoredDlg {
 public:
  static inline CSearchBarDlg* open = nullptr;

  CSearchBarDlg(vyr::Application& app, const SearchHost& host, wxWindow* parent)
      : CColoredDlg(parent, Wx(kSearchBarCaption), true),
        app_(app),
        host_(host),
        terms_(vyr::kSearchTermMru),
        paneOwner_(host, [this] {
          if (autoHide_->GetValue()) CallAfter([this] { Close(); });
        }) {
    SetName("searchbar");
    wxPanel* panel = ContentPanel();
    auto* all = new wxBoxSizer(wxVERTICAL);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    auto* types = new wxBoxSizer(wxVERTICAL);
    for (int t = 0; t < vyr::kSearchTypeCount; ++t) {
      radios_[t] = new wxRadioButton(panel, wxID_ANY, Wx(kTypeLabels[t]), wxDefaultPosition, wxDefaultSize,
                                     t == 0 ? wxRB_GROUP : 0);
      radios_[t]->SetName("searchtype" + std::to_string(t));
      radios_[t]->Bind(wxEVT_RADIOBUTTON, [this, t](wxCommandEvent&) { SelectType(t); });
      types->Add(radios_[t], 0, wxBOTTOM, FromDIP(4));
    }
    top->Add(types, 0, wxALL, FromDIP(10));

    auto* right = new wxBoxSizer(wxVERTICAL);
    description_ = new wxStaticText(panel, wxID_ANY, wxEmptyString);
    hint_ = new wxStaticText(panel, wxID_ANY, wxEmptyString);
    term_ = new wxComboBox(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, FromDIP(wxSize(320, -1)), 0,
                           nullptr, wxTE_PROCESS_ENTER);
    term_->SetName("searchterm");
    auto* search = new wxButton(panel, wxID_ANY, Wx(kSearchButton));
    search->SetName("searchbutton");
    search->SetDefault();
    autoHide_ = new wxCheckBox(panel, wxID_ANY, Wx(kAutoHideBox));
    autoHide_->SetName("autohide");
    autoHide_->SetValue(app_.IsOn(vyr::kSearchAutoHide));
    autoHide_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { app_.Write(vyr::kSearchAutoHide, autoHide_->GetValue() ? 1 : 0); });
    right->Add(description_, 0, wxBOTTOM, FromDIP(8));
    right->Add(hint_, 0, wxBOTTOM, FromDIP(4));
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(term_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(6));
    row->Add(search, 0, wxALIGN_CENTER_VERTICAL);
    right->Add(row, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
    right->Add(autoHide_);
    top->Add(right, 1, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, FromDIP(10));
    all->Add(top, 0, wxEXPAND);

    const std::string pages = app_.GetDataDirectory("Pages", false);
    pane_ = new CBrowserWnd(panel, &paneOwner_, EmbeddedPolicy(app_, pages));
    pane_->SetName("searchbarpane");
    pane_->SetMinSize(FromDIP(wxSize(560, 240)));
    paneOwner_.Attach(pane_, {pages, app_.HomeServer()});
    all->Add(pane_, 1, wxEXPAND);
    panel->SetSizer(all);
    FinishLayout();

    search->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunSearch(); });
    term_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { RunSearch(); });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
      if (open == this) open = nullptr;
      pane_->SetOwner(nullptr);  // the pane outlives the owner member while the window goes
      Destroy();
    });

    // find.htm of the data folder, else the home server's.
    const std::string find = pages + "find.htm";
    if (!pages.empty() && vyr::platform::FileExists(find)) {
      pane_->Navigate(FileAddress(find));
    } else if (app_.HasHomeServer()) {
      pane_->Navigate(app_.HomeServerUrl("/pages/find.htm"));
    }
    terms_.Load(app_);
    FillCombo(term_, terms_.Entries());
    term_->SetValue(Wx(terms_.Current()));
  }

  void SelectType(int type) {
    type_ = type >= 0 && type < vyr::kSearchTypeCount ? type : 1;
    app_.Write(vyr::kSearchType, type_);
    radios_[type_]->SetValue(true);
    const vyr::SearchTypeInfo& info = vyr::SearchType(type_);
    // The descriptions' line breaks are "\r\n" or "\n".
    wxString text = Wx(info.description);
    text.Replace("\r", "");
    description_->SetLabel(text);
    hint_->SetLabel(Wx(info.hint));
    term_->SetHint(Wx(info.hint));
    Layout();
  }

  void RunSearch() {
    const std::string term = Std(term_->GetValue());
    if (!terms_.Remember(app_, term)) return;
    FillCombo(term_, terms_.Entries());
    term_->SetValue(Wx(terms_.Current()));
    if (type_ == vyr::kYellowPagesType) {
      app_.Messages().Information("Yellow Search");
      return;
    }
    const std::string address = vyr::SearchAddress(app_, type_, term);
    if (!address.empty() && host_.navigate) host_.navigate(address);
    if (autoHide_->GetValue()) Close();
  }

 private:
  vyr::Application& app_;
  SearchHost host_;
  vyr::TermList terms_;
  CEmbeddedPaneOwner paneOwner_;
  wxRadioButton* radios_[vyr::kSearchTypeCount] = {};
  wxStaticText* description_ = nullptr;
  wxStaticText* hint_ = nullptr;
  wxComboBox* term_ = nullptr;
  wxCheckBox* autoHide_ = nullptr;
  CBrowserWnd* pane_ = nullptr;
  int type_ = 1;
};

// --- the search window -------------------------------------------------------------------

class CSearchWnd : public CColoredDlg {
 public:
  static inline CSearchWnd* open = nullptr;

  CSearchWnd(vyr::Application& app, const SearchHost& host, wxWindow* parent)
      : CColoredDlg(parent, Wx(kSearchWindowCaption), true),
        app_(app),
        paneOwner_(host, [this] { CallAfter([this] { Close(); }); }) {
    SetName("searchwindow");
    wxPanel* panel = ContentPanel();
    auto* all = new wxBoxSizer(wxHORIZONTAL);
    tree_ = new wxTreeCtrl(panel, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(220, 420)),
                           wxTR_DEFAULT_STYLE | wxTR_HIDE_ROOT | wxTR_SINGLE);
    tree_->SetName("searchtree");
    tree_->SetHelpText(Wx(kSearchTreeName));
    const std::string folder = app_.GetDataDirectory("Search", false);
    pane_ = new CBrowserWnd(panel, &paneOwner_, EmbeddedPolicy(app_, folder));
    pane_->SetName("searchpane");
    pane_->SetHelpText(Wx(kPaneName));
    pane_->SetMinSize(FromDIP(wxSize(560, 420)));
    paneOwner_.Attach(pane_, {folder, {}});
    paneOwner_.SetOnProgress([this](int percent) { ShowProgress(percent); });
    all->Add(tree_, 0, wxEXPAND | wxALL, FromDIP(6));
    all->Add(pane_, 1, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, FromDIP(6));
    panel->SetSizer(all);
    FinishLayout();

    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
      if (open == this) open = nullptr;
      pane_->SetOwner(nullptr);  // the pane outlives the owner member while the window goes
      Destroy();
    });
    tree_->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
      auto* data = dynamic_cast<Address*>(tree_->GetItemData(event.GetItem()));
      if (data) pane_->Navigate(data->address);
    });
    LoadTree(folder);
    if (!folder.empty() && vyr::platform::FileExists(folder + "web.htm")) pane_->Navigate(FileAddress(folder + "web.htm"));
  }

 private:
  struct Address : wxTreeItemData {
    explicit Address(std::string a) : address(std::move(a)) {}
    std::string address;
  };

  void LoadTree(const std::string& folder) {
    const wxTreeItemId root = tree_->AddRoot("");
    std::string data;
    if (!folder.empty()) vyr::platform::ReadWholeFile(folder + "search.nsf", data);
    const vyr::SearchTree tree = vyr::ParseSearchTree(data);
    std::function<void(const vyr::SearchFolder&, const wxTreeItemId&)> add = [&](const vyr::SearchFolder& f,
                                                                                 const wxTreeItemId& at) {
      for (const vyr::SearchFolder& sub : f.folders) add(sub, tree_->AppendItem(at, Wx(sub.name)));
      for (const vyr::SearchPage& page : f.pages)
        tree_->AppendItem(at, Wx(page.name), -1, -1, new Address(page.address));
    };
    add(tree.root, root);
    wxTreeItemIdValue cookie;
    for (wxTreeItemId item = tree_->GetFirstChild(root, cookie); item.IsOk(); item = tree_->GetNextChild(root, cookie))
      tree_->Expand(item);
    if (!tree.badPages.empty()) CallAfter([this] { app_.Messages().Error("Bad Page"); });
  }

  void ShowProgress(int percent) {
    const wxString caption = Wx(kSearchWindowCaption);
    SetTitle(percent >= 100 ? caption : wxString::Format("%s [%d%%]", caption, std::max(0, percent)));
  }

  vyr::Application& app_;
  CEmbeddedPaneOwner paneOwner_;
  wxTreeCtrl* tree_ = nullptr;
  CBrowserWnd* pane_ = nullptr;
};

// --- the quote lookup ----------------------------------------------------------------------

class CQuoteLookupDlg : public CColoredDlg {
 public:
  static inline CQuoteLookupDlg* open = nullptr;

  CQuoteLookupDlg(vyr::Application& app, const SearchHost& host, wxWindow* parent)
      : CColoredDlg(parent, Wx(kQuoteCaption)), app_(app), host_(host), symbols_(vyr::kQuoteSymbolMru) {
    SetName("quotelookup");
    wxPanel* panel = ContentPanel();
    auto* all = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto* label = new wxStaticText(panel, wxID_ANY, Wx(kSymbolLabel));
    symbol_ = new wxComboBox(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, FromDIP(wxSize(160, -1)), 0,
                             nullptr, wxTE_PROCESS_ENTER);
    symbol_->SetName("quotesymbol");
    row->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(6));
    row->Add(symbol_, 1, wxALIGN_CENTER_VERTICAL);
    all->Add(row, 0, wxEXPAND | wxALL, FromDIP(12));
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    static const char* const kNames[] = {"quoteheadlines", "quotechart", "quotequote", "quotemarket"};
    for (int a = 0; a < 4; ++a) {
      auto* button = new wxButton(panel, wxID_ANY, Wx(kQuoteActions[a]));
      button->SetName(kNames[a]);
      button->Bind(wxEVT_BUTTON, [this, a](wxCommandEvent&) { Run(static_cast<vyr::QuoteAction>(a)); });
      buttons->Add(button, 0, a ? wxLEFT : 0, FromDIP(6));
      if (a == 2) button->SetDefault();
    }
    all->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(12));
    panel->SetSizer(all);
    FinishLayout();
    symbol_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Run(vyr::QuoteAction::Quote); });
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
      if (open == this) open = nullptr;
      Destroy();
    });
    symbols_.Load(app_, {"YHOO", "MSFT"});
    FillCombo(symbol_, symbols_.Entries());
    symbol_->SetValue(Wx(symbols_.Current()));
  }

 private:
  void Run(vyr::QuoteAction action) {
    const std::string symbol = Std(symbol_->GetValue());
    const std::string address = vyr::QuoteAddress(app_, action, symbol);
    if (address.empty()) return;
    if (host_.navigate) host_.navigate(address);
    if (action != vyr::QuoteAction::MarketOverview && symbols_.Remember(app_, symbol)) {
      FillCombo(symbol_, symbols_.Entries());
      symbol_->SetValue(Wx(symbols_.Current()));
    }
  }

  vyr::Application& app_;
  SearchHost host_;
  vyr::TermList symbols_;
  wxComboBox* symbol_ = nullptr;
};

template <typename T, typename... Args>
T* OneOf(Args&&... args) {
  if (!T::open) T::open = new T(std::forward<Args>(args)...);
  T::open->Show();
  T::open->Raise();
  return T::open;
}

}  // namespace

wxWindow* OpenSearchBar(vyr::Application& app, const SearchHost& host, wxWindow* parent, int type) {
  app.Counters().CountUsage(vyr::kUsageSearchBar);
  CSearchBarDlg* bar = OneOf<CSearchBarDlg>(app, host, parent);
  bar->SelectType(type < 0 ? vyr::ReadSearchType(app) : type);
  return bar;
}

wxWindow* OpenSearchWindow(vyr::Application& app, const SearchHost& host, wxWindow* parent) {
  app.Counters().CountUsage(vyr::kUsageSearchWindow);
  return OneOf<CSearchWnd>(app, host, parent);
}

wxWindow* OpenQuoteLookup(vyr::Application& app, const SearchHost& host, wxWindow* parent) {
  return OneOf<CQuoteLookupDlg>(app, host, parent);
}
