#include "ui/windows/browser_wnd.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>

#include "base/application.h"
#include "browser/failure_page.h"
#include "browser/navigation_policy.h"
#include "mail/read/message_decoder.h"
#include "platform/string_table.h"

namespace {

std::string engineDataDirectory;

// The view of the page whose "create" signal is running: the control made
// meanwhile becomes its related view (see CBrowserWnd's constructor).
WebKitWebView* relatedViewForNextControl = nullptr;

// The page-facing names: the script message channel of the external object
// and the prompt text that asks InsertImage synchronously.
constexpr char kExternalChannel[] = "vyrelleExternal";
constexpr char kInsertImagePrompt[] = "\x01vyrelle:InsertImage";

// window.external for the top document: DoSearch, InsertImage and IsVyrelle,
// nothing else. InsertImage needs its answer at once, so it goes through a
// prompt the host answers itself (script dialogs are synchronous for the
// page); the references are taken before the page's own script runs. The
// prompt and the message carry this pane's token ("@TOKEN@"), which lives
// only inside this closure: a frame or a page that calls the prompt itself
// gets no answer.
constexpr char kExternalScript[] = R"JS((function () {
  var channel = window.webkit.messageHandlers.vyrelleExternal;
  var ask = window.prompt.bind(window);
  var token = '@TOKEN@';
  var external = Object.freeze({
    DoSearch: function () { channel.postMessage(token + ':DoSearch'); },
    InsertImage: function (name) {
      var path = ask('\u0001vyrelle:InsertImage', token + ':' + String(name));
      return path === null ? '' : path;
    },
    IsVyrelle: function () { return 2; }
  });
  try {
    Object.defineProperty(window, 'external', { value: external, writable: false, configurable: false });
  } catch (e) {}
})();)JS";

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

std::string WithoutFragment(const std::string& address) { return address.substr(0, address.find('#')); }

// How long after a real press a navigation to the pressed link still counts
// as the user's (a click is a press and a release; slow pages answer late).
constexpr long long kPressLifetimeUs = 3'000'000;

// What a pane records as its document while it shows one of the program's
// failure pages: no origin, so no trust.
constexpr char kFailurePageDocument[] = "about:blank";

// The key under which a view keeps the control that owns it.
constexpr char kControlKey[] = "vyrelle-control";

vyr::NavigationKind Kind(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED: return vyr::NavigationKind::LinkClicked;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED: return vyr::NavigationKind::FormSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD: return vyr::NavigationKind::BackForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD: return vyr::NavigationKind::Reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED: return vyr::NavigationKind::FormResubmitted;
    default: return vyr::NavigationKind::Other;
  }
}

void DownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer);

// An address in one spelling for comparisons: scheme and host lower-cased, a
// default port dropped, an empty http path made "/".
std::string Normalised(const std::string& address) {
  GUri* uri = g_uri_parse(address.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_SCHEME_NORMALIZE),
                          nullptr);
  if (!uri) return address;
  gchar* text = g_uri_to_string(uri);
  std::string out = Text(text);
  g_free(text);
  g_uri_unref(uri);
  return out;
}

// The one engine context of the program, created at first use. Every view is
// made in it so that they share cookies, caches and the web processes.
WebKitWebContext* EngineContext() {
  static WebKitWebContext* context = [] {
    WebKitWebsiteDataManager* data =
        engineDataDirectory.empty()
            ? webkit_website_data_manager_new_ephemeral()
            : webkit_website_data_manager_new(
                  "base-data-directory", (engineDataDirectory + "/data").c_str(),
                  "base-cache-directory", (engineDataDirectory + "/cache").c_str(), nullptr);
    // A certificate the engine cannot verify fails the load (the pane shows
    // why); no exception is ever added.
    webkit_website_data_manager_set_tls_errors_policy(data, WEBKIT_TLS_ERRORS_POLICY_FAIL);
    WebKitWebContext* ctx = webkit_web_context_new_with_website_data_manager(data);
    g_object_unref(data);  // the context holds its own reference
    webkit_web_context_set_cache_model(ctx, WEBKIT_CACHE_MODEL_WEB_BROWSER);
    // Every download the engine starts passes here: only the ones a pane
    // allowed go on, and only to where the user chose.
    g_signal_connect(ctx, "download-started", G_CALLBACK(DownloadStarted), nullptr);
    return ctx;  // lives as long as the program
  }();
  return context;
}

// The only place the engine's settings are chosen: one set for the panes
// whose pages may run script, one for those where nothing does (a mail
// message). Views of a kind share theirs.
WebKitSettings* NewSettings(bool script) {
  WebKitSettings* s = webkit_settings_new();
  webkit_settings_set_enable_javascript(s, script);
  webkit_settings_set_javascript_can_open_windows_automatically(s, FALSE);
  webkit_settings_set_enable_developer_extras(s, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(s, FALSE);
  webkit_settings_set_user_agent_with_application_details(s, "Vyrelle", nullptr);
  if (!script) {
    // No script element, event handler or javascript: address either, and
    // nothing kept for the page between loads.
    webkit_settings_set_enable_javascript_markup(s, FALSE);
    webkit_settings_set_enable_html5_local_storage(s, FALSE);
    webkit_settings_set_enable_html5_database(s, FALSE);
  }
  return s;
}
WebKitSettings* EngineSettings() {
  static WebKitSettings* settings = NewSettings(true);
  return settings;
}
WebKitSettings* ScriptlessSettings() {
  static WebKitSettings* settings = NewSettings(false);
  return settings;
}

std::string MessageText(WebKitJavascriptResult* result) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_string(value)) return {};
  gchar* text = jsc_value_to_string(value);
  std::string out = Text(text);
  g_free(text);
  return out;
}

// Loads that end without being failures: a navigation cancelled (a newer
// one, Stop, a policy's "no" to a response) or handed over to a download or
// to the media player.
bool IsCancelledLoad(const GError* error) {
  if (!error) return true;
  if (error->domain == WEBKIT_NETWORK_ERROR) return error->code == WEBKIT_NETWORK_ERROR_CANCELLED;
  if (error->domain == WEBKIT_POLICY_ERROR) return error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE;
  if (error->domain == WEBKIT_PLUGIN_ERROR) return error->code == WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD;
  return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

unsigned CertificateProblems(GTlsCertificateFlags flags) {
  unsigned problems = 0;
  if (flags & G_TLS_CERTIFICATE_UNKNOWN_CA) problems |= vyr::kCertificateUnknownAuthority;
  if (flags & G_TLS_CERTIFICATE_BAD_IDENTITY) problems |= vyr::kCertificateOtherSite;
  if (flags & G_TLS_CERTIFICATE_NOT_ACTIVATED) problems |= vyr::kCertificateNotYetValid;
  if (flags & G_TLS_CERTIFICATE_EXPIRED) problems |= vyr::kCertificateExpired;
  if (flags & G_TLS_CERTIFICATE_REVOKED) problems |= vyr::kCertificateRevoked;
  if (flags & G_TLS_CERTIFICATE_INSECURE) problems |= vyr::kCertificateInsecure;
  if (flags & G_TLS_CERTIFICATE_GENERIC_ERROR) problems |= vyr::kCertificateOtherError;
  return problems;
}

std::string HostOf(const std::string& address) {
  GUri* uri = g_uri_parse(address.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!uri) return address;
  std::string host = Text(g_uri_get_host(uri));
  g_uri_unref(uri);
  return host.empty() ? address : host;
}

}  // namespace

// The engine's rules of the panes that load no remote content, made once
// per program in the background (the engine compiles them into its store):
// "network" refuses every address over the network; one rule list per
// message folder refuses every local file outside that folder. A pane waits
// for both before it loads anything.
struct CBrowserWnd::ContentRules {
  struct State {
    WebKitUserContentFilter* filter = nullptr;  // lives as long as the program
    bool compiling = false;
    std::string error;  // the engine refused the rules
    std::vector<std::weak_ptr<CBrowserWnd*>> waiting;
  };

  static std::map<std::string, State>& States() {
    static std::map<std::string, State> states;
    return states;
  }

  static WebKitUserContentFilterStore* Store() {
    static WebKitUserContentFilterStore* store = [] {
      const std::string folder = (engineDataDirectory.empty()
                                      ? std::string(g_get_user_cache_dir()) + "/vyrelle"
                                      : engineDataDirectory) +
                                 "/content-rules";
      g_mkdir_with_parents(folder.c_str(), 0700);
      return webkit_user_content_filter_store_new(folder.c_str());
    }();
    return store;
  }

  // A regular expression of the engine's rule language that matches the
  // text itself, written as a JSON string's contents.
  static std::string Literal(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
      if (std::strchr(".*+?()[]{}^$|\\", c)) out += "\\\\";
      if (c == '"') {
        out += "\\\"";
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      } else {
        out += static_cast<char>(c);
      }
    }
    return out;
  }

  static std::string NetworkRules() {
    std::string json = "[";
    for (const char* scheme : {"^https?:", "^wss?:", "^ftp:"}) {
      if (json.size() > 1) json += ",";
      json += std::string("{\"trigger\":{\"url-filter\":\"") + scheme + "\"},\"action\":{\"type\":\"block\"}}";
    }
    return json + "]";
  }

  static std::string FolderRules(const std::string& folder) {
    const std::string inside = "^" + Literal(vyr::FileUrl(folder, "")) ;
    return "[{\"trigger\":{\"url-filter\":\"^file:\"},\"action\":{\"type\":\"block\"}},"
           "{\"trigger\":{\"url-filter\":\"" + inside + "\"},\"action\":{\"type\":\"ignore-previous-rules\"}}]";
  }

  static std::string FolderId(const std::string& folder) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a: the same name in every run
    for (unsigned char c : folder) hash = (hash ^ c) * 1099511628211ull;
    char id[48];
    std::snprintf(id, sizeof id, "vyrelle-message-files-%016llx", static_cast<unsigned long long>(hash));
    return id;
  }

  // The rules a pane needs, made when missing; the pane hears back (now,
  // when they are made already).
  static void Request(CBrowserWnd& control) {
    std::string folder = control.policy_.GetOptions().messageFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    control.ruleIds_ = {"vyrelle-network", FolderId(folder)};
    const std::string sources[] = {NetworkRules(), FolderRules(folder)};
    for (size_t i = 0; i < 2; ++i) {
      State& state = States()[control.ruleIds_[i]];
      if (state.filter || !state.error.empty()) continue;
      state.waiting.push_back(control.alive_);
      if (state.compiling) continue;
      state.compiling = true;
      GBytes* bytes = g_bytes_new(sources[i].data(), sources[i].size());
      webkit_user_content_filter_store_save(Store(), control.ruleIds_[i].c_str(), bytes, nullptr, Saved,
                                            new std::string(control.ruleIds_[i]));
      g_bytes_unref(bytes);
    }
    Settle(control);
  }

  static void Saved(GObject* store, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::string> id(static_cast<std::string*>(data));
    State& state = States()[*id];
    state.compiling = false;
    GError* error = nullptr;
    state.filter = webkit_user_content_filter_store_save_finish(WEBKIT_USER_CONTENT_FILTER_STORE(store), result, &error);
    if (!state.filter) {
      state.error = error ? error->message : "the engine refused the rules";
      g_warning("content rules %s: %s", id->c_str(), state.error.c_str());
    }
    if (error) g_error_free(error);
    for (const auto& waiting : std::exchange(state.waiting, {})) {
      if (auto control = waiting.lock()) Settle(**control);
    }
  }

  // Puts the pane's rules in place once all are made, and loads what it
  // held; a rule the engine refused leaves the pane loading nothing.
  static void Settle(CBrowserWnd& control) {
    if (control.rulesReady_) return;
    std::string error;
    for (const std::string& id : control.ruleIds_) {
      const State& state = States()[id];
      if (!state.error.empty()) error = state.error;
      if (!state.filter && state.error.empty()) return;
    }
    if (!error.empty()) {
      control.rulesError_ = error;
      if (control.heldLoad_) std::exchange(control.heldLoad_, nullptr)();
      return;
    }
    WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(control.view_);
    webkit_user_content_manager_add_filter(content, States()[control.ruleIds_[1]].filter);
    control.networkRule_ = States()[control.ruleIds_[0]].filter;
    if (!control.remoteAllowed_) webkit_user_content_manager_add_filter(content, control.networkRule_);
    control.rulesReady_ = true;
    if (control.heldLoad_) std::exchange(control.heldLoad_, nullptr)();
  }
};

std::string CBrowserOwner::InsertImage(const std::string& name) {
  const vyr::Application* app = vyr::Application::Current();
  return app ? vyr::SchemeImagePath(*app, name) : std::string();
}

// A navigation question the engine waits on. Whoever holds the last
// reference without having answered cancels the navigation, so a control
// destroyed before the posted answer never leaves the engine waiting.
struct CBrowserWnd::PendingDecision {
  WebKitPolicyDecision* decision = nullptr;
  std::string url;
  bool newWindow = false;
  vyr::NavigationFacts facts;
  vyr::NavigationVerdict verdict;

  void Answer(bool go) {
    if (!decision) return;
    if (go) {
      webkit_policy_decision_use(decision);
    } else {
      webkit_policy_decision_ignore(decision);
    }
    g_object_unref(decision);
    decision = nullptr;
  }
  ~PendingDecision() { Answer(false); }
};

template <typename Fn>
void CBrowserWnd::Post(Fn fn) {
  if (!wxTheApp) return;
  wxTheApp->CallAfter([alive = std::weak_ptr<CBrowserWnd*>(alive_), fn = std::move(fn)]() mutable {
    if (auto self = alive.lock()) fn(**self);
  });
}

struct CBrowserWnd::Signals {
  static gboolean DecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                               WebKitPolicyDecisionType type, CBrowserWnd* self) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
      return self->DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
    }
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    std::shared_ptr<PendingDecision> pending = Gather(self, action, type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION);

    // The owner is asked from a posted event: its answers may run commands
    // and open dialogs. The engine waits for the answer meanwhile.
    pending->decision = WEBKIT_POLICY_DECISION(g_object_ref(decision));
    self->Post([pending](CBrowserWnd& control) { control.Decide(*pending); });
    (void)view;
    return TRUE;
  }

  // What the engine reports about a navigation, and what the pane's policy
  // makes of it; the pane's record of recent navigations is brought up to
  // date.
  static std::shared_ptr<PendingDecision> Gather(CBrowserWnd* self, WebKitNavigationAction* action, bool newWindow) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    auto pending = std::make_shared<PendingDecision>();
    pending->url = Text(webkit_uri_request_get_uri(request));
    pending->newWindow = newWindow;

    vyr::NavigationFacts& facts = pending->facts;
    facts.url = pending->url;
    facts.newWindow = pending->newWindow;
    facts.redirect = webkit_navigation_action_is_redirect(action);
    facts.kind = Kind(webkit_navigation_action_get_navigation_type(action));
    facts.userGesture = webkit_navigation_action_is_user_gesture(action);
    if (SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request)) {
      facts.referrer = Text(soup_message_headers_get_one(headers, "Referer"));
      facts.fetchDestination = Text(soup_message_headers_get_one(headers, "Sec-Fetch-Dest"));
    }
    facts.mainDocument = self->committedUrl_;
    const std::string normalised = Normalised(pending->url);
    if (facts.redirect) {
      facts.shellChainStart = self->shellChainStart_;
    } else {
      // One real press on a link lets one navigation to that very link count
      // as the user's.
      const long long age = g_get_monotonic_time() - self->pressTime_;
      facts.pointerOnLink = !self->pressLink_.empty() && self->pressLink_ == normalised && age >= 0 &&
                            age < kPressLifetimeUs;
      if (facts.pointerOnLink) self->pressLink_.clear();
      if (!pending->newWindow) {
        const WebKitNavigationType navigationType = webkit_navigation_action_get_navigation_type(action);
        if (self->shellRequest_ == ShellRequest::Address && normalised == self->shellAddress_) {
          facts.startedByShell = true;
        } else if (self->shellRequest_ == ShellRequest::History &&
                   (navigationType == WEBKIT_NAVIGATION_TYPE_BACK_FORWARD ||
                    navigationType == WEBKIT_NAVIGATION_TYPE_RELOAD)) {
          facts.startedByShell = true;
        }
        if (facts.startedByShell) {
          self->shellRequest_ = ShellRequest::None;
          self->shellChainStart_ = pending->url;
        }
      }
    }
    pending->verdict = self->policy_.Verdict(facts);

    // A download must follow a navigation the user started (typed, or a
    // real press on the very link); a redirect carries on the chain it
    // belongs to.
    const bool userStarted =
        facts.redirect ? self->lastUserStarted_ : facts.startedByShell || (facts.pointerOnLink && facts.userGesture);
    // A window the user's press opens gets that press for its first page.
    if (pending->newWindow) self->pressForNewWindow_ = facts.pointerOnLink ? normalised : std::string();
    if (!facts.redirect) self->lastUserStarted_ = userStarted;
    self->recentNavigations_.emplace_back(WithoutFragment(normalised), userStarted);
    while (self->recentNavigations_.size() > 16) self->recentNavigations_.pop_front();
    return pending;
  }

  // A page asks for a new window (window.open, a link with a target). The
  // owner makes the control it opens in; its view is made related to this
  // one while the owner runs.
  static GtkWidget* Create(WebKitWebView* view, WebKitNavigationAction* action, CBrowserWnd* self) {
    if (!self->owner_) return nullptr;
    if (!self->policy_.MayOpenPopups()) {
      // A pane that opens no windows: the address a script's window.open
      // names still passes the special-address filter, and the owner hears
      // of the refused window (a link with a target has been through the
      // same when it was decided).
      std::shared_ptr<PendingDecision> pending = Gather(self, action, true);
      if (!pending->url.empty() && pending->url != "about:blank") {
        self->Post([pending](CBrowserWnd& control) { control.Decide(*pending); });
      }
      return nullptr;
    }
    WebKitWebView* saved = relatedViewForNextControl;
    relatedViewForNextControl = view;
    CBrowserWnd* made = self->owner_->CreateNewExplorerWnd();
    const bool related = relatedViewForNextControl == nullptr;  // the new control took it
    relatedViewForNextControl = saved;
    if (!made) return nullptr;
    if (!related || made->view_ == view) {
      g_warning("CreateNewExplorerWnd must make its control while asked; the new window is refused");
      return nullptr;
    }
    if (!self->pressForNewWindow_.empty()) {
      made->pressLink_ = self->pressForNewWindow_;
      made->pressTime_ = g_get_monotonic_time();
      self->pressForNewWindow_.clear();
    }
    return GTK_WIDGET(made->view_);
  }

  static void ReadyToShow(WebKitWebView* view, CBrowserWnd* self) {
    WebKitWindowProperties* p = webkit_web_view_get_window_properties(view);
    const bool toolbar = webkit_window_properties_get_toolbar_visible(p);
    const bool menubar = webkit_window_properties_get_menubar_visible(p);
    const bool statusbar = webkit_window_properties_get_statusbar_visible(p);
    const bool fullscreen = webkit_window_properties_get_fullscreen(p);
    self->Post([=](CBrowserWnd& control) {
      auto alive = std::weak_ptr<CBrowserWnd*>(control.alive_);
      for (int i = 0; i < 5 && !alive.expired() && control.owner_; ++i) {
        switch (i) {
          case 0: control.owner_->OnToolBar(toolbar); break;
          case 1: control.owner_->OnMenuBar(menubar); break;
          case 2: control.owner_->OnStatusBar(statusbar); break;
          case 3: control.owner_->OnFullScreen(fullscreen); break;
          case 4: control.owner_->OnVisible(true); break;
        }
      }
    });
  }

  static void Close(WebKitWebView*, CBrowserWnd* self) {
    self->Post([](CBrowserWnd& control) {
      if (control.owner_) control.owner_->OnVisible(false);
    });
  }

  static void WindowProperty(WebKitWindowProperties* p, GParamSpec* spec, CBrowserWnd* self) {
    const std::string name = spec->name;
    gboolean flag = FALSE;  // an int: a bool would be overrun
    g_object_get(p, spec->name, &flag, nullptr);
    const bool value = flag;
    self->Post([name, value](CBrowserWnd& control) {
      if (!control.owner_) return;
      if (name == "toolbar-visible") control.owner_->OnToolBar(value);
      if (name == "menubar-visible") control.owner_->OnMenuBar(value);
      if (name == "statusbar-visible") control.owner_->OnStatusBar(value);
      if (name == "fullscreen") control.owner_->OnFullScreen(value);
    });
  }

  static void TitleChanged(WebKitWebView* view, GParamSpec*, CBrowserWnd* self) {
    if (self->owner_) self->owner_->TitleChange(Text(webkit_web_view_get_title(view)));
  }

  static void ProgressChanged(WebKitWebView* view, GParamSpec*, CBrowserWnd* self) {
    const double progress = webkit_web_view_get_estimated_load_progress(view);
    if (self->owner_) self->owner_->ProgressChange(static_cast<int>(progress * 100 + 0.5), 100);
  }

  static void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, CBrowserWnd* self) {
    const std::string url = Text(webkit_web_view_get_uri(view));
    CBrowserOwner* owner = self->owner_;
    switch (event) {
      case WEBKIT_LOAD_STARTED:
        if (owner) owner->DownloadBegin();
        break;
      case WEBKIT_LOAD_REDIRECTED:
        break;
      case WEBKIT_LOAD_COMMITTED:
        // The program's failure page stands at the failed address but is
        // a document of no origin: it is trusted with nothing.
        self->committedUrl_ = !self->failureAddress_.empty() && Normalised(url) == Normalised(self->failureAddress_)
                                  ? std::string(kFailurePageDocument)
                                  : url;
        self->failureAddress_.clear();
        self->shellRequest_ = ShellRequest::None;
        self->shellChainStart_.clear();
        if (owner) owner->NavigateComplete(url, true);
        break;
      case WEBKIT_LOAD_FINISHED:
        if (owner) owner->DownloadComplete();
        if (owner) owner->DocumentComplete(url, true);
        break;
    }
  }

  static void HistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, CBrowserWnd* self) {
    self->UpdateHistoryState();
  }

  static void MouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, CBrowserWnd* self) {
    // The hit-test result is only lent: its text is taken here.
    const std::string link =
        webkit_hit_test_result_context_is_link(hit) ? Text(webkit_hit_test_result_get_link_uri(hit)) : std::string();
    self->hoverLink_ = link.empty() ? std::string() : Normalised(link);
    self->ShowStatus(link);
  }

  // A load of the main frame failed before anything of it was shown: a
  // cancelled one shows nothing, any other the program's page with the
  // engine's reason. A page that broke off after it was shown stays.
  static gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* uri, GError* error, CBrowserWnd* self) {
    self->shellChainStart_.clear();
    if (event != WEBKIT_LOAD_STARTED || IsCancelledLoad(error)) return TRUE;
    const std::string address = Text(uri);
    self->ShowFailurePage(vyr::LoadFailedPage(address, Text(error->message)), address);
    return TRUE;
  }

  // The engine refused the certificate of the page's site: the page is not
  // loaded, and the program's page says which problem and for which host.
  static gboolean TlsFailed(WebKitWebView*, gchar* uri, GTlsCertificate*, GTlsCertificateFlags errors,
                            CBrowserWnd* self) {
    self->shellChainStart_.clear();
    const std::string address = Text(uri);
    self->ShowFailurePage(vyr::CertificatePage(address, HostOf(address), CertificateProblems(errors)), address);
    return TRUE;
  }

  // The web process of the page ended: the pane would stay blank, so the
  // program's page says so, with a link that loads the page again.
  static void ProcessEnded(WebKitWebView* view, WebKitWebProcessTerminationReason reason, CBrowserWnd* self) {
    const vyr::PageProcessEnd why = reason == WEBKIT_WEB_PROCESS_CRASHED ? vyr::PageProcessEnd::Crashed
                                    : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT
                                        ? vyr::PageProcessEnd::OutOfMemory
                                        : vyr::PageProcessEnd::Ended;
    const std::string address = Text(webkit_web_view_get_uri(view));
    self->Post([why, address](CBrowserWnd& control) {
      control.ShowFailurePage(vyr::PageStoppedPage(address, why), address);
    });
  }

  // A real press of the pointer (the toolkit's event, never a page's): the
  // link the engine's hit test found under the pointer is the one the user
  // chose.
  static gboolean ButtonPress(GtkWidget*, GdkEventButton* event, CBrowserWnd* self) {
    if (event->type == GDK_BUTTON_PRESS && (event->button == 1 || event->button == 2)) {
      self->pressLink_ = self->hoverLink_;
      self->pressTime_ = g_get_monotonic_time();
    }
    return FALSE;
  }

  // Ctrl+N, Ctrl+O and Ctrl+R are the owner's menu commands; any other key
  // goes on to the engine.
  static gboolean KeyPress(WebKitWebView*, GdkEventKey* event, CBrowserWnd* self) {
    const guint mods = event->state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK);
    if (mods != GDK_CONTROL_MASK) return FALSE;
    int command = 0;
    switch (gdk_keyval_to_lower(event->keyval)) {
      case GDK_KEY_n: command = kNewBrowserWindowCommand; break;
      case GDK_KEY_o: command = kOpenCommand; break;
      case GDK_KEY_r: command = kRefreshCommand; break;
      default: return FALSE;
    }
    self->Post([command](CBrowserWnd& control) {
      if (control.owner_) control.owner_->OnBrowserCommand(command);
    });
    return TRUE;
  }

  static void ExternalMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, CBrowserWnd* self) {
    if (MessageText(result) != self->externalToken_ + ":DoSearch" || !self->ShowsTrustedDocument()) return;
    self->Post([](CBrowserWnd& control) {
      if (control.owner_) control.owner_->DoSearch();
    });
  }

  // window.external.InsertImage's question; every other dialog is the
  // engine's own.
  static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, CBrowserWnd* self) {
    if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_PROMPT ||
        Text(webkit_script_dialog_get_message(dialog)) != kInsertImagePrompt) {
      return FALSE;
    }
    // Only the external object of a trusted top document knows the token.
    const std::string text = Text(webkit_script_dialog_prompt_get_default_text(dialog));
    const std::string prefix = self->externalToken_ + ":";
    std::string path;
    if (text.compare(0, prefix.size(), prefix) == 0 && self->ShowsTrustedDocument() && self->owner_) {
      path = self->owner_->InsertImage(text.substr(prefix.size()));
    }
    webkit_script_dialog_prompt_set_text(dialog, path.c_str());
    return TRUE;
  }
};

void CBrowserWnd::SetEngineDataDirectory(const std::string& folder) { engineDataDirectory = folder; }

void CBrowserWnd::ClearWebsiteData(std::function<void(const std::string& error)> done) {
  using Done = std::function<void(const std::string&)>;
  WebKitWebsiteDataManager* data = webkit_web_context_get_website_data_manager(EngineContext());
  webkit_website_data_manager_clear(
      data, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer user) {
        const std::unique_ptr<Done> held(static_cast<Done*>(user));
        GError* error = nullptr;
        const bool ok =
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
        const std::string reason = ok ? std::string() : (error && error->message ? error->message : "?");
        if (error) g_error_free(error);
        (*held)(reason);
      },
      new Done(std::move(done)));
}

void CBrowserWnd::AddEngineVersions(vyr::platform::SystemInfo& system) {
  system.browserVersion[0] = static_cast<int>(webkit_get_major_version());
  system.browserVersion[1] = static_cast<int>(webkit_get_minor_version());
  system.browserVersion[2] = static_cast<int>(webkit_get_micro_version());
  system.shellVersion[0] = static_cast<int>(gtk_get_major_version());
  system.shellVersion[1] = static_cast<int>(gtk_get_minor_version());
  system.shellVersion[2] = static_cast<int>(gtk_get_micro_version());
}

CBrowserWnd::CBrowserWnd(wxWindow* parent, CBrowserOwner* owner, vyr::NavigationPolicy policy, wxWindowID id)
    : owner_(owner), alive_(std::make_shared<CBrowserWnd*>(this)), policy_(std::move(policy)) {
  {
    gchar* token = g_uuid_string_random();
    externalToken_ = token;
    g_free(token);
  }
  std::string script = kExternalScript;
  script.replace(script.find("@TOKEN@"), 7, externalToken_);
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  WebKitUserScript* user = webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                  WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, user);
  webkit_user_script_unref(user);
  g_signal_connect(content, (std::string("script-message-received::") + kExternalChannel).c_str(),
                   G_CALLBACK(Signals::ExternalMessage), this);
  webkit_user_content_manager_register_script_message_handler(content, kExternalChannel);

  // Made while a page's "create" signal runs: related to that page's view,
  // so that the page's window.open gets a working window object.
  WebKitWebView* related = relatedViewForNextControl;
  relatedViewForNextControl = nullptr;
  WebKitSettings* viewSettings = policy_.RunsScript() ? EngineSettings() : ScriptlessSettings();
  GObject* made = related ? static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related,
                                                               "user-content-manager", content, "settings",
                                                               viewSettings, nullptr))
                          : static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", EngineContext(),
                                                               "user-content-manager", content, "settings",
                                                               viewSettings, nullptr));
  g_object_unref(content);  // the view holds it
  // The new view is a floating reference: sink it so that this object owns
  // one reference for its whole life, whatever GTK containers do.
  view_ = WEBKIT_WEB_VIEW(made);
  g_object_ref_sink(view_);

  g_signal_connect(view_, "decide-policy", G_CALLBACK(Signals::DecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(Signals::Create), this);
  g_signal_connect(view_, "ready-to-show", G_CALLBACK(Signals::ReadyToShow), this);
  g_signal_connect(view_, "close", G_CALLBACK(Signals::Close), this);
  g_signal_connect(view_, "notify::title", G_CALLBACK(Signals::TitleChanged), this);
  g_signal_connect(view_, "notify::estimated-load-progress", G_CALLBACK(Signals::ProgressChanged), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::LoadFailed), this);
  g_signal_connect(view_, "load-failed-with-tls-errors", G_CALLBACK(Signals::TlsFailed), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(Signals::ProcessEnded), this);
  g_signal_connect(view_, "button-press-event", G_CALLBACK(Signals::ButtonPress), this);
  g_object_set_data(G_OBJECT(view_), kControlKey, this);
  g_signal_connect(view_, "mouse-target-changed", G_CALLBACK(Signals::MouseTarget), this);
  g_signal_connect(view_, "key-press-event", G_CALLBACK(Signals::KeyPress), this);
  g_signal_connect(view_, "script-dialog", G_CALLBACK(Signals::ScriptDialog), this);
  g_signal_connect(webkit_web_view_get_back_forward_list(view_), "changed", G_CALLBACK(Signals::HistoryChanged),
                   this);
  WebKitWindowProperties* properties = webkit_web_view_get_window_properties(view_);
  for (const char* name : {"notify::toolbar-visible", "notify::menubar-visible", "notify::statusbar-visible",
                           "notify::fullscreen"}) {
    g_signal_connect(properties, name, G_CALLBACK(Signals::WindowProperty), this);
  }

  vyr::EnhancedBrowsingSettings settings;
  if (const vyr::Application* app = vyr::Application::Current()) settings = vyr::LoadEnhancedBrowsingSettings(*app);
  browsing_ = std::make_unique<vyr::EnhancedBrowsing>(static_cast<vyr::BrowsingOwner&>(*this), std::move(settings));

  gtk_widget_show(GTK_WIDGET(view_));
  // wxNativeWindow takes a reference of its own and destroys the widget with
  // the wx window.
  Create(parent, id, GTK_WIDGET(view_));

  // Nothing loads in a pane without remote content before its rules are in
  // place.
  if (!policy_.LoadsRemoteContent()) {
    rulesReady_ = false;
    ContentRules::Request(*this);
  }
}

CBrowserWnd::~CBrowserWnd() {
  // A running look-up is told to stop; whatever it still reports is dropped.
  browsing_.reset();
  // Posted work and late answers find the control gone; questions the engine
  // still waits on are answered "no" by their last holder.
  alive_.reset();
  // No engine signal may reach this object any more: cut our handlers and
  // stop the load before the wx window destroys the widget.
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view_);
  g_signal_handlers_disconnect_by_data(content, this);
  webkit_user_content_manager_unregister_script_message_handler(content, kExternalChannel);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(view_), this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_window_properties(view_), this);
  g_signal_handlers_disconnect_by_data(view_, this);
  g_object_set_data(G_OBJECT(view_), kControlKey, nullptr);
  webkit_web_view_stop_loading(view_);
  // Drop our reference; the wx window's reference keeps the widget alive
  // until the base class destroys it.
  g_object_unref(view_);
  view_ = nullptr;
}

void CBrowserWnd::SetOwner(CBrowserOwner* owner) { owner_ = owner; }

void CBrowserWnd::Decide(PendingDecision& pending) {
  auto alive = std::weak_ptr<CBrowserWnd*>(alive_);
  // The owner may ask what the engine reported while it decides.
  struct FactsScope {
    const std::weak_ptr<CBrowserWnd*>& alive;
    CBrowserWnd& self;
    ~FactsScope() {
      if (!alive.expired()) self.decidingFacts_ = nullptr;
    }
  } scope{alive, *this};
  decidingFacts_ = &pending.facts;
  if (owner_) owner_->NavigationAnnounced(pending.url);
  if (alive.expired()) return;
  const bool taken = owner_ && owner_->HandleSpecialUrl(pending.url, pending.verdict);
  if (alive.expired()) return;
  if (taken) {
    pending.Answer(false);
    return;
  }
  if (pending.newWindow && !policy_.MayOpenPopups()) {
    // No window is made here; the owner may open the address elsewhere.
    pending.Answer(false);
    if (owner_) owner_->NewWindowRefused(pending.url, pending.verdict);
    return;
  }
  bool cancel = false;
  if (!pending.newWindow && owner_) owner_->BeforeNavigate(pending.url, vyr::MayBeMainFrame(pending.facts), cancel);
  if (alive.expired()) return;
  pending.Answer(!cancel);
}

bool CBrowserWnd::ShowsTrustedDocument() const { return policy_.IsTrustedDocument(committedUrl_); }

gboolean CBrowserWnd::DecideResponse(WebKitResponsePolicyDecision* decision) {
  WebKitPolicyDecision* base = WEBKIT_POLICY_DECISION(decision);
  const bool mainFrame = webkit_response_policy_decision_is_main_frame_main_resource(decision);
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const std::string url = Text(webkit_uri_response_get_uri(response));
  // The program's own pages hold no frames of other sites: a foreign frame
  // there could pose as the page itself.
  if (!mainFrame && policy_.IsProgramPage(committedUrl_) && !policy_.IsProgramPage(url) &&
      url.rfind("about:", 0) != 0) {
    webkit_policy_decision_ignore(base);
    return TRUE;
  }
  std::string disposition;
  if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response)) {
    disposition = Text(soup_message_headers_get_one(headers, "Content-Disposition"));
  }
  std::transform(disposition.begin(), disposition.end(), disposition.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  disposition.erase(0, std::min(disposition.find_first_not_of(" \t"), disposition.size()));
  const bool attachment = disposition.compare(0, 10, "attachment") == 0;
  if (!attachment && webkit_response_policy_decision_is_mime_type_supported(decision)) return FALSE;
  // A file to save: only in the main frame, after a navigation the user
  // started, in a pane that may download. A hidden frame's file is dropped.
  const std::string normalised = Normalised(url);
  const std::string address = WithoutFragment(normalised);
  // The newest navigation to this address decides: an earlier click on the
  // same link does not lend itself to a later script's navigation.
  bool userStarted = false;
  const auto newest = std::find_if(recentNavigations_.rbegin(), recentNavigations_.rend(),
                                   [&](const auto& n) { return n.first == address; });
  if (newest != recentNavigations_.rend()) {
    userStarted = newest->second;
    recentNavigations_.erase(std::next(newest).base());
  }
  if (!mainFrame || !policy_.MayDownload() || !userStarted || !owner_) {
    webkit_policy_decision_ignore(base);
    return TRUE;
  }
  allowedDownload_ = normalised;
  webkit_policy_decision_download(base);
  return TRUE;
}

std::string CBrowserOwner::ChooseDownloadDestination(const std::string& suggestedName) {
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  // Only the last part of the server's name, and never a hidden file.
  std::string name = suggestedName.substr(suggestedName.find_last_of("/\\") + 1);
  while (!name.empty() && name[0] == '.') name.erase(0, 1);
  if (!vyr::IsPlainFileName(name)) name = "download";
  wxFileDialog dialog(nullptr, wxString::FromUTF8(kSaveAsTitle.Text()),
                      wxString::FromUTF8(folder ? folder : g_get_home_dir()),
                      wxString::FromUTF8(name), wxFileSelectorDefaultWildcardStr,
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  if (dialog.ShowModal() != wxID_OK) return {};
  return std::string(dialog.GetPath().utf8_str());
}

// The engine's downloads: one the pane allowed asks the user where to save
// it; any other is cancelled at once.
struct CBrowserWnd::Downloads {
  static void Started(WebKitDownload* download) {
    WebKitWebView* view = webkit_download_get_web_view(download);
    auto* control = view ? static_cast<CBrowserWnd*>(g_object_get_data(G_OBJECT(view), kControlKey)) : nullptr;
    WebKitURIRequest* request = webkit_download_get_request(download);
    const std::string url = Normalised(Text(request ? webkit_uri_request_get_uri(request) : nullptr));
    if (!control || control->allowedDownload_.empty() || control->allowedDownload_ != url) {
      webkit_download_cancel(download);
      return;
    }
    control->allowedDownload_.clear();
    g_signal_connect(download, "decide-destination", G_CALLBACK(DecideDestination), nullptr);
  }

  static gboolean DecideDestination(WebKitDownload* download, gchar* suggested, gpointer) {
    WebKitWebView* view = webkit_download_get_web_view(download);
    auto* control = view ? static_cast<CBrowserWnd*>(g_object_get_data(G_OBJECT(view), kControlKey)) : nullptr;
    if (!control) {
      webkit_download_cancel(download);
      return TRUE;
    }
    // Asked from a posted event; the download waits for the answer.
    g_object_ref(download);
    const std::string name = Text(suggested);
    auto answer = [download, name](CBrowserWnd* self) {
      std::string path = self && self->owner_ ? self->owner_->ChooseDownloadDestination(name) : std::string();
      gchar* uri = path.empty() ? nullptr : g_filename_to_uri(path.c_str(), nullptr, nullptr);
      if (uri) {
        webkit_download_set_allow_overwrite(download, TRUE);  // the dialog asked about replacing
        webkit_download_set_destination(download, uri);
        g_free(uri);
      } else {
        webkit_download_cancel(download);
      }
      g_object_unref(download);
    };
    if (!wxTheApp) {
      answer(nullptr);
      return TRUE;
    }
    wxTheApp->CallAfter([alive = std::weak_ptr<CBrowserWnd*>(control->alive_), answer]() {
      auto self = alive.lock();
      answer(self ? *self : nullptr);
    });
    return TRUE;
  }
};

namespace {
void DownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  CBrowserWnd::StartedDownload(download);
}
}  // namespace

void CBrowserWnd::StartedDownload(WebKitDownload* download) { Downloads::Started(download); }

void CBrowserWnd::UpdateHistoryState() {
  const bool back = webkit_web_view_can_go_back(view_), forward = webkit_web_view_can_go_forward(view_);
  if (forward != canGoForward_) {
    canGoForward_ = forward;
    if (owner_) owner_->CommandStateChange(kCommandForward, forward);
  }
  if (back != canGoBack_) {
    canGoBack_ = back;
    if (owner_) owner_->CommandStateChange(kCommandBack, back);
  }
}

void CBrowserWnd::ShowStatus(const std::string& text) {
  const std::string shown = text.substr(std::min(text.find_first_not_of(" \t"), text.size()));
  if (shown == statusText_) return;
  statusText_ = shown;
  if (!owner_) return;
  if (shown.rfind("://", 0) == 0) {
    owner_->RollOverTextChange(shown);
  } else {
    owner_->StatusTextChange(shown);
  }
}

void CBrowserWnd::DownloadBegin() {
  lookUpBusy_ = true;
  if (owner_) owner_->DownloadBegin();
}

void CBrowserWnd::EndLookUp() {
  browsing_->Stop();
  // The busy state the look-up showed is cleared; a navigation it found
  // shows its own.
  if (!lookUpBusy_) return;
  lookUpBusy_ = false;
  if (owner_) owner_->DownloadComplete();
}
void CBrowserWnd::StatusTextChange(const std::string& text) {
  if (owner_) owner_->StatusTextChange(text);
}
void CBrowserWnd::RollOverTextChange(const std::string& text) {
  if (owner_) owner_->RollOverTextChange(text);
}

void CBrowserWnd::NavigateControl(const std::string& address) {
  if (lookUpBusy_) {
    lookUpBusy_ = false;
    if (owner_) owner_->DownloadComplete();
  }
  if (address.empty()) return;
  if (!rulesReady_) {
    HoldUntilRulesReady(address, [this, address] { NavigateControl(address); });
    return;
  }
  shellRequest_ = ShellRequest::Address;
  shellAddress_ = Normalised(address);
  webkit_web_view_load_uri(view_, address.c_str());
}

void CBrowserWnd::HoldUntilRulesReady(const std::string& address, std::function<void()> load) {
  if (rulesError_.empty()) {
    heldLoad_ = std::move(load);  // the newest request wins
    return;
  }
  // The engine refused the rules: the pane shows why instead of the page.
  ShowFailurePage(vyr::LoadFailedPage(address, rulesError_), address);
}

void CBrowserWnd::AllowRemoteContent(bool allowed) {
  if (allowed == remoteAllowed_) return;
  remoteAllowed_ = allowed;
  if (!rulesReady_ || !networkRule_) return;  // applied once the rules are in place
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view_);
  if (allowed) {
    webkit_user_content_manager_remove_filter(content, networkRule_);
  } else {
    webkit_user_content_manager_add_filter(content, networkRule_);
  }
}

void CBrowserWnd::Navigate(const std::string& text) {
  if (text.empty()) return;
  EndLookUp();
  const vyr::Application* app = vyr::Application::Current();
  browsing_->Navigate(text, app ? app->SmarterBrowsingFlags() : vyr::Application::SmarterBrowsing{});
}

void CBrowserWnd::ShowFailurePage(const std::string& html, const std::string& address) {
  // The engine takes alternate content for a failed address without a
  // navigation question; the document itself has no origin (no base).
  failureAddress_ = address;
  webkit_web_view_load_alternate_html(view_, html.c_str(), address.c_str(), nullptr);
}

void CBrowserWnd::LoadHtml(const std::string& html, const std::string& baseUrl) {
  EndLookUp();
  if (!rulesReady_) {
    const std::string address = baseUrl.empty() ? std::string("about:blank") : baseUrl;
    HoldUntilRulesReady(address, [this, html, baseUrl] { LoadHtml(html, baseUrl); });
    return;
  }
  shellRequest_ = ShellRequest::Address;
  shellAddress_ = Normalised(baseUrl.empty() ? std::string("about:blank") : baseUrl);
  webkit_web_view_load_html(view_, html.c_str(), baseUrl.empty() ? nullptr : baseUrl.c_str());
}

void CBrowserWnd::GoBack() {
  EndLookUp();
  shellRequest_ = ShellRequest::History;
  webkit_web_view_go_back(view_);
}
void CBrowserWnd::GoForward() {
  EndLookUp();
  shellRequest_ = ShellRequest::History;
  webkit_web_view_go_forward(view_);
}
void CBrowserWnd::Reload() {
  EndLookUp();
  shellRequest_ = ShellRequest::History;
  webkit_web_view_reload(view_);
}
void CBrowserWnd::Stop() {
  EndLookUp();
  webkit_web_view_stop_loading(view_);
}

bool CBrowserWnd::CanGoBack() const { return webkit_web_view_can_go_back(view_); }
bool CBrowserWnd::CanGoForward() const { return webkit_web_view_can_go_forward(view_); }
bool CBrowserWnd::IsLoading() const { return webkit_web_view_is_loading(view_); }
std::string CBrowserWnd::CurrentUrl() const { return Text(webkit_web_view_get_uri(view_)); }
std::string CBrowserWnd::Title() const { return Text(webkit_web_view_get_title(view_)); }
void CBrowserWnd::SetZoom(double level) { webkit_web_view_set_zoom_level(view_, std::clamp(level, 0.5, 3.0)); }
double CBrowserWnd::Zoom() const { return webkit_web_view_get_zoom_level(view_); }
WebKitWebView* CBrowserWnd::WebView() const { return view_; }

void CBrowserWnd::SetUserStyleSheet(const std::string& css) {
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view_);
  webkit_user_content_manager_remove_all_style_sheets(content);
  if (css.empty()) return;
  WebKitUserStyleSheet* sheet = webkit_user_style_sheet_new(css.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                                            WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
  webkit_user_content_manager_add_style_sheet(content, sheet);
  webkit_user_style_sheet_unref(sheet);
}

void CBrowserWnd::SetEnhancedBrowsing(vyr::EnhancedBrowsingSettings settings,
                                      std::shared_ptr<vyr::platform::HostResolver> hosts, vyr::KeywordQuery query) {
  browsing_.reset();
  browsing_ = std::make_unique<vyr::EnhancedBrowsing>(static_cast<vyr::BrowsingOwner&>(*this), std::move(settings),
                                                      std::move(hosts), std::move(query));
}

bool CBrowserWnd::IsLookingUp() const { return browsing_->IsRunning(); }
