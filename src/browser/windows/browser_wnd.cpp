#include "browser/windows/browser_wnd.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <deque>
#include <utility>

#include <wx/app.h>

#include "app/application.h"
#include "browser/navigation_trust.h"

namespace {

std::string engineDataDirectory;

// The view of the page whose "create" signal is running: the control made
// meanwhile becomes its related view (see CBrowserWnd's constructor).
WebKitWebView* relatedViewForNextControl = nullptr;

// The page-facing names: the script message channel of the external object,
// the channel on which sub-frames report the links clicked in them, and the
// prompt text that asks InsertImage synchronously.
constexpr char kExternalChannel[] = "vyrelleExternal";
constexpr char kFrameChannel[] = "vyrelleFrameLink";
constexpr char kInsertImagePrompt[] = "\x01vyrelle:InsertImage";

// window.external for the top document: DoSearch, InsertImage and IsVyrelle,
// nothing else. InsertImage needs its answer at once, so it goes through a
// prompt the host answers itself (script dialogs are synchronous for the
// page); the references are taken before the page's own script runs.
constexpr char kExternalScript[] = R"JS((function () {
  var channel = window.webkit.messageHandlers.vyrelleExternal;
  var ask = window.prompt.bind(window);
  var external = Object.freeze({
    DoSearch: function () { channel.postMessage('DoSearch'); },
    InsertImage: function (name) {
      var path = ask('\u0001vyrelle:InsertImage', String(name));
      return path === null ? '' : path;
    },
    IsVyrelle: function () { return 2; }
  });
  try {
    Object.defineProperty(window, 'external', { value: external, writable: false, configurable: false });
  } catch (e) {}
})();)JS";

// In every sub-frame: a link the user follows inside the frame itself is
// reported before the engine asks about the navigation, so that the host
// knows it is not a top-level one (the engine's navigation question does not
// say which frame navigates).
constexpr char kFrameScript[] = R"JS((function () {
  if (window === window.top) return;
  var channel = window.webkit.messageHandlers.vyrelleFrameLink;
  document.addEventListener('click', function (event) {
    var node = event.target;
    while (node && !(node.tagName && node.tagName.toLowerCase() === 'a' && node.href)) node = node.parentNode;
    if (!node) return;
    var base = document.querySelector('base[target]');
    var target = (node.getAttribute('target') || (base ? base.getAttribute('target') : '') || '').toLowerCase();
    if (target === '' || target === '_self') channel.postMessage(String(node.href));
  }, true);
})();)JS";

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

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
    WebKitWebContext* ctx = webkit_web_context_new_with_website_data_manager(data);
    g_object_unref(data);  // the context holds its own reference
    webkit_web_context_set_cache_model(ctx, WEBKIT_CACHE_MODEL_WEB_BROWSER);
    return ctx;  // lives as long as the program
  }();
  return context;
}

// The only place the engine's settings are chosen; all views share them.
WebKitSettings* EngineSettings() {
  static WebKitSettings* settings = [] {
    WebKitSettings* s = webkit_settings_new();
    webkit_settings_set_enable_javascript(s, TRUE);
    webkit_settings_set_javascript_can_open_windows_automatically(s, FALSE);
    webkit_settings_set_enable_developer_extras(s, FALSE);
    webkit_settings_set_enable_back_forward_navigation_gestures(s, FALSE);
    webkit_settings_set_user_agent_with_application_details(s, "Vyrelle", nullptr);
    return s;
  }();
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

}  // namespace

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
  vyr::NavigationOrigin origin;

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
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;  // the engine's default
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    auto pending = std::make_shared<PendingDecision>();
    pending->url = Text(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
    pending->newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;

    vyr::NavigationOrigin& origin = pending->origin;
    const WebKitNavigationType navigationType = webkit_navigation_action_get_navigation_type(action);
    const bool redirect = webkit_navigation_action_is_redirect(action);
    std::deque<std::string>& frameLinks = self->frameLinks_;
    auto frameLink = std::find(frameLinks.begin(), frameLinks.end(), pending->url);
    origin.topLevel = pending->newWindow || frameLink == frameLinks.end();
    if (frameLink != frameLinks.end()) frameLinks.erase(frameLink);
    if (redirect) {
      // The server that redirected chose this address, not the user: it
      // counts as started by the address it came from.
      origin.sourceUrl = self->lastRequestUrl_;
    } else {
      origin.userGesture = webkit_navigation_action_is_user_gesture(action);
      origin.sourceUrl = self->committedUrl_;
      if (origin.topLevel && !pending->newWindow) {
        if (self->shellRequest_ == ShellRequest::Address && Normalised(pending->url) == self->shellAddress_) {
          origin.startedByShell = true;
        } else if (self->shellRequest_ == ShellRequest::History &&
                   (navigationType == WEBKIT_NAVIGATION_TYPE_BACK_FORWARD ||
                    navigationType == WEBKIT_NAVIGATION_TYPE_RELOAD)) {
          origin.startedByShell = true;
        }
        if (origin.startedByShell) self->shellRequest_ = ShellRequest::None;
      }
    }
    if (origin.topLevel && !pending->newWindow) self->lastRequestUrl_ = pending->url;

    // The owner is asked from a posted event: its answers may run commands
    // and open dialogs. The engine waits for the answer meanwhile.
    pending->decision = WEBKIT_POLICY_DECISION(g_object_ref(decision));
    self->Post([pending](CBrowserWnd& control) { control.Decide(*pending); });
    (void)view;
    return TRUE;
  }

  // A page asks for a new window (window.open, a link with a target). The
  // owner makes the control it opens in; its view is made related to this
  // one while the owner runs.
  static GtkWidget* Create(WebKitWebView* view, WebKitNavigationAction*, CBrowserWnd* self) {
    if (!self->owner_) return nullptr;
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
        self->committedUrl_ = url;
        self->shellRequest_ = ShellRequest::None;
        self->frameLinks_.clear();
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
    self->ShowStatus(webkit_hit_test_result_context_is_link(hit) ? Text(webkit_hit_test_result_get_link_uri(hit))
                                                                 : std::string());
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
    if (MessageText(result) != "DoSearch") return;
    self->Post([](CBrowserWnd& control) {
      if (control.owner_) control.owner_->DoSearch();
    });
  }

  static void FrameLinkMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, CBrowserWnd* self) {
    std::deque<std::string>& links = self->frameLinks_;
    links.push_back(MessageText(result));
    while (links.size() > 16) links.pop_front();
  }

  // window.external.InsertImage's question; every other dialog is the
  // engine's own.
  static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, CBrowserWnd* self) {
    if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_PROMPT ||
        Text(webkit_script_dialog_get_message(dialog)) != kInsertImagePrompt) {
      return FALSE;
    }
    const std::string name = Text(webkit_script_dialog_prompt_get_default_text(dialog));
    const std::string path = self->owner_ ? self->owner_->InsertImage(name) : std::string();
    webkit_script_dialog_prompt_set_text(dialog, path.c_str());
    return TRUE;
  }
};

void CBrowserWnd::SetEngineDataDirectory(const std::string& folder) { engineDataDirectory = folder; }

CBrowserWnd::CBrowserWnd(wxWindow* parent, CBrowserOwner* owner, wxWindowID id)
    : owner_(owner), alive_(std::make_shared<CBrowserWnd*>(this)) {
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  for (const char* script : {kExternalScript, kFrameScript}) {
    const bool top = script == kExternalScript;
    WebKitUserScript* user = webkit_user_script_new(
        script, top ? WEBKIT_USER_CONTENT_INJECT_TOP_FRAME : WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, user);
    webkit_user_script_unref(user);
  }
  g_signal_connect(content, (std::string("script-message-received::") + kExternalChannel).c_str(),
                   G_CALLBACK(Signals::ExternalMessage), this);
  g_signal_connect(content, (std::string("script-message-received::") + kFrameChannel).c_str(),
                   G_CALLBACK(Signals::FrameLinkMessage), this);
  webkit_user_content_manager_register_script_message_handler(content, kExternalChannel);
  webkit_user_content_manager_register_script_message_handler(content, kFrameChannel);

  // Made while a page's "create" signal runs: related to that page's view,
  // so that the page's window.open gets a working window object.
  WebKitWebView* related = relatedViewForNextControl;
  relatedViewForNextControl = nullptr;
  GObject* made = related ? static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related,
                                                               "user-content-manager", content, "settings",
                                                               EngineSettings(), nullptr))
                          : static_cast<GObject*>(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", EngineContext(),
                                                               "user-content-manager", content, "settings",
                                                               EngineSettings(), nullptr));
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
  webkit_user_content_manager_unregister_script_message_handler(content, kFrameChannel);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(view_), this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_window_properties(view_), this);
  g_signal_handlers_disconnect_by_data(view_, this);
  webkit_web_view_stop_loading(view_);
  // Drop our reference; the wx window's reference keeps the widget alive
  // until the base class destroys it.
  g_object_unref(view_);
  view_ = nullptr;
}

void CBrowserWnd::SetOwner(CBrowserOwner* owner) { owner_ = owner; }

void CBrowserWnd::Decide(PendingDecision& pending) {
  auto alive = std::weak_ptr<CBrowserWnd*>(alive_);
  const bool trusted = vyr::IsTrustedNavigation(pending.origin, vyr::Application::Current());
  // The owner may ask where the navigation came from while it decides.
  struct OriginScope {
    const std::weak_ptr<CBrowserWnd*>& alive;
    CBrowserWnd& self;
    ~OriginScope() {
      if (!alive.expired()) self.decidingOrigin_ = nullptr;
    }
  } scope{alive, *this};
  decidingOrigin_ = &pending.origin;
  if (owner_) owner_->NavigationAnnounced(pending.url);
  if (alive.expired()) return;
  const bool taken = owner_ && owner_->HandleSpecialUrl(pending.url, trusted);
  if (alive.expired()) return;
  if (taken) {
    pending.Answer(false);
    return;
  }
  bool cancel = false;
  if (!pending.newWindow && owner_) owner_->BeforeNavigate(pending.url, pending.origin.topLevel, cancel);
  if (alive.expired()) return;
  pending.Answer(!cancel);
}

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
  shellRequest_ = ShellRequest::Address;
  shellAddress_ = Normalised(address);
  webkit_web_view_load_uri(view_, address.c_str());
}

void CBrowserWnd::Navigate(const std::string& text) {
  if (text.empty()) return;
  EndLookUp();
  const vyr::Application* app = vyr::Application::Current();
  browsing_->Navigate(text, app ? app->SmarterBrowsingFlags() : vyr::Application::SmarterBrowsing{});
}

void CBrowserWnd::LoadHtml(const std::string& html, const std::string& baseUrl) {
  EndLookUp();
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

void CBrowserWnd::SetEnhancedBrowsing(vyr::EnhancedBrowsingSettings settings,
                                      std::shared_ptr<vyr::platform::HostResolver> hosts, vyr::KeywordQuery query) {
  browsing_.reset();
  browsing_ = std::make_unique<vyr::EnhancedBrowsing>(static_cast<vyr::BrowsingOwner&>(*this), std::move(settings),
                                                      std::move(hosts), std::move(query));
}

bool CBrowserWnd::IsLookingUp() const { return browsing_->IsRunning(); }
