#include "browser/windows/browser_wnd.h"

#include <webkit2/webkit2.h>

#include <utility>

namespace {

std::string engineDataDirectory;

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

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

}  // namespace

struct CBrowserWnd::Signals {
  static void TitleChanged(WebKitWebView* view, GParamSpec*, CBrowserWnd* self) {
    if (self->events_.titleChanged) self->events_.titleChanged(Text(webkit_web_view_get_title(view)));
  }

  static void LoadChanged(WebKitWebView* view, WebKitLoadEvent event, CBrowserWnd* self) {
    const std::string url = Text(webkit_web_view_get_uri(view));
    switch (event) {
      case WEBKIT_LOAD_STARTED:
        self->loadFailed_ = false;
        [[fallthrough]];
      case WEBKIT_LOAD_REDIRECTED:
        if (self->events_.loadStarted) self->events_.loadStarted(url);
        break;
      case WEBKIT_LOAD_COMMITTED:
        if (self->events_.loadCommitted) self->events_.loadCommitted(url);
        break;
      case WEBKIT_LOAD_FINISHED:
        if (self->events_.loadFinished) self->events_.loadFinished(url, !self->loadFailed_);
        break;
    }
  }

  // Returning FALSE lets the engine show its own error page.
  static gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent, const gchar* failingUri,
                             GError* error, CBrowserWnd* self) {
    self->loadFailed_ = true;
    // Stopping a load, or starting another one over it, cancels it: that is
    // the user's doing, not a failure to report.
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) return FALSE;
    if (self->events_.loadFailed)
      self->events_.loadFailed(Text(failingUri), error ? Text(error->message) : std::string());
    return FALSE;
  }

  // A page asks for a new window (window.open, a link with a target). Popup
  // windows are not hosted yet, so every request is refused by returning
  // NULL; the page's window.open then returns null.
  static GtkWidget* Create(WebKitWebView*, WebKitNavigationAction*, CBrowserWnd*) {
    return nullptr;
  }
};

void CBrowserWnd::SetEngineDataDirectory(const std::string& folder) { engineDataDirectory = folder; }

CBrowserWnd::CBrowserWnd(wxWindow* parent, wxWindowID id) {
  // The new view is a floating reference: sink it so that this object owns
  // one reference for its whole life, whatever GTK containers do.
  view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(EngineContext()));
  g_object_ref_sink(view_);
  webkit_web_view_set_settings(view_, EngineSettings());

  g_signal_connect(view_, "notify::title", G_CALLBACK(Signals::TitleChanged), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(Signals::LoadFailed), this);
  g_signal_connect(view_, "create", G_CALLBACK(Signals::Create), this);

  gtk_widget_show(GTK_WIDGET(view_));
  // wxNativeWindow takes a reference of its own and destroys the widget with
  // the wx window.
  Create(parent, id, GTK_WIDGET(view_));
}

CBrowserWnd::~CBrowserWnd() {
  // No engine signal may reach this object any more: stop the load and cut
  // our handlers before the wx window destroys the widget.
  g_signal_handlers_disconnect_by_data(view_, this);
  webkit_web_view_stop_loading(view_);
  // Drop our reference; the wx window's reference keeps the widget alive
  // until the base class destroys it.
  g_object_unref(view_);
  view_ = nullptr;
}

void CBrowserWnd::Navigate(const std::string& url) {
  if (!url.empty()) webkit_web_view_load_uri(view_, url.c_str());
}

void CBrowserWnd::LoadHtml(const std::string& html, const std::string& baseUrl) {
  webkit_web_view_load_html(view_, html.c_str(), baseUrl.empty() ? nullptr : baseUrl.c_str());
}

void CBrowserWnd::GoBack() { webkit_web_view_go_back(view_); }
void CBrowserWnd::GoForward() { webkit_web_view_go_forward(view_); }
bool CBrowserWnd::CanGoBack() const { return webkit_web_view_can_go_back(view_); }
bool CBrowserWnd::CanGoForward() const { return webkit_web_view_can_go_forward(view_); }
void CBrowserWnd::Reload() { webkit_web_view_reload(view_); }
void CBrowserWnd::Stop() { webkit_web_view_stop_loading(view_); }
bool CBrowserWnd::IsLoading() const { return webkit_web_view_is_loading(view_); }

std::string CBrowserWnd::CurrentUrl() const { return Text(webkit_web_view_get_uri(view_)); }
std::string CBrowserWnd::Title() const { return Text(webkit_web_view_get_title(view_)); }
