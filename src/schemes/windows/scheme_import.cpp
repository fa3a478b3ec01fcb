#include "schemes/windows/scheme_import.h"

#include <wx/window.h>

#include "base/application.h"
#include "schemes/windows/scheme_name_dlg.h"
#include "ui/windows/scheme_art.h"

namespace {

std::function<void()>& RebuildHook() {
  static std::function<void()> hook;
  return hook;
}

std::function<void(const std::string&)>& NavigateHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

// Asks with a new name dialog each time the import finds the name taken.
class CNameChooser : public vyr::SchemeNameChooser {
 public:
  explicit CNameChooser(wxWindow* parent) : parent_(parent) {}
  Choice Choose(std::string& name) override {
    CSchemeNameDlg dialog(parent_, name);
    const Choice choice = dialog.Run();
    if (choice == Ok) name = dialog.Name();
    return choice;
  }

 private:
  wxWindow* parent_;
};

class CCurrentApplier : public vyr::SchemeSwitcher {
 public:
  void ApplyCurrentScheme() override {
    if (vyr::Application* app = vyr::Application::Current()) ::ApplyCurrentScheme(*app);
  }
};

}  // namespace

void SetSchemeRebuildHook(std::function<void()> rebuild) { RebuildHook() = std::move(rebuild); }

void SetSchemeNavigateHook(std::function<void(const std::string&)> navigate) {
  NavigateHook() = std::move(navigate);
}

void NavigateForSchemes(const std::string& address) {
  if (NavigateHook()) NavigateHook()(address);
}

void ApplyCurrentScheme(vyr::Application& app) {
  CSchemeArt::Load(app);
  if (RebuildHook()) RebuildHook()();
}

vyr::SchemeImport WindowedSchemeImport() {
  static CNameChooser chooser(nullptr);
  static CCurrentApplier applier;
  vyr::SchemeImport with;
  with.chooser = &chooser;
  with.switcher = &applier;
  return with;
}

std::string RunSchemeImport(vyr::Application& app, const std::string& address, wxWindow* parent) {
  CNameChooser chooser(parent);
  CSchemeApplier applier(app);
  vyr::SchemeImport with;
  with.chooser = &chooser;
  with.switcher = &applier;
  return vyr::ImportScheme(app, with, address);
}

std::string RunSchemeImport(const std::string& address, wxWindow* parent) {
  vyr::Application* app = vyr::Application::Current();
  return app ? RunSchemeImport(*app, address, parent) : std::string();
}
