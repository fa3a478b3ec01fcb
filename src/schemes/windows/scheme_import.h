#pragma once
// The windowed side of scheme changes: applying the scheme now current (new
// scheme art, then the main window rebuilds through the hook it sets), and
// importing a scheme package with the name dialog and the program's boxes.
#include <functional>
#include <string>

#include "schemes/scheme_package.h"

class wxWindow;

namespace vyr {
class Application;
}

// The main window sets these: rebuilding its windows after a scheme load,
// and opening an address (the scheme gallery of "More Schemes").
void SetSchemeRebuildHook(std::function<void()> rebuild);
void SetSchemeNavigateHook(std::function<void(const std::string& address)> navigate);
void NavigateForSchemes(const std::string& address);

// Loads the application's current scheme into new scheme art, makes it
// current and calls the rebuild hook.
void ApplyCurrentScheme(vyr::Application& app);

class CSchemeApplier : public vyr::SchemeSwitcher {
 public:
  explicit CSchemeApplier(vyr::Application& app) : app_(app) {}
  void ApplyCurrentScheme() override { ::ApplyCurrentScheme(app_); }

 private:
  vyr::Application& app_;
};

// The name dialog and the applier (of the application current then) for
// the import run by the command dispatcher's "importscheme"
// (ApplicationServices); they live as long as the program.
vyr::SchemeImport WindowedSchemeImport();

// Imports the ".vyrscheme" package at address (an internet address or a
// local path) with the name dialog over parent; the questions and errors go
// through the application's message boxes. Returns the scheme folder the
// package was unpacked into, empty when the import ended before that.
std::string RunSchemeImport(const std::string& address, wxWindow* parent = nullptr);
std::string RunSchemeImport(vyr::Application& app, const std::string& address,
                            wxWindow* parent = nullptr);
