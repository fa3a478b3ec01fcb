#include "schemes/windows/scheme_import.h"

#include <wx/window.h>

#include "base/application.h"
#include "schemes/windows/scheme_name_dlg.h"
#include "ui/windows/scheme_art.h"

namespace {

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

}  // namespace

void ApplyCurrentScheme(vyr::Application& app, CSchemeHost* host) {
  CSchemeArt::Load(app);
  if (host) host->RebuildForScheme();
}

CWindowedSchemeImport::CWindowedSchemeImport(vyr::Application& app, CSchemeHost& host, wxWindow* parent)
    : chooser_(std::make_unique<CNameChooser>(parent)), applier_(app, &host) {}

CWindowedSchemeImport::~CWindowedSchemeImport() = default;

vyr::SchemeImport CWindowedSchemeImport::With() {
  vyr::SchemeImport with;
  with.chooser = chooser_.get();
  with.switcher = &applier_;
  return with;
}

std::string RunSchemeImport(vyr::Application& app, CSchemeHost* host, const std::string& address,
                            wxWindow* parent) {
  CNameChooser chooser(parent);
  CSchemeApplier applier(app, host);
  vyr::SchemeImport with;
  with.chooser = &chooser;
  with.switcher = &applier;
  return vyr::ImportScheme(app, with, address);
}
