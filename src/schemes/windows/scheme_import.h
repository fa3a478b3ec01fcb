#pragma once
// The windowed side of scheme changes: applying the scheme now current (new
// scheme art, then the main window rebuilds through the hook it sets), and
// importing a scheme package with the name dialog and the program's boxes.
#include <functional>
#include <memory>
#include <string>

#include "schemes/scheme_package.h"

class wxWindow;

namespace vyr {
class Application;
}

// What a scheme change needs of the main window: rebuilding its windows
// with the new art, and opening an address (the scheme gallery of "More
// Schemes").
class CSchemeHost {
 public:
  virtual ~CSchemeHost() = default;
  virtual void RebuildForScheme() = 0;
  virtual void NavigateForSchemes(const std::string& address) = 0;
};

// Loads the application's current scheme into new scheme art, makes it
// current and has the host (if any) rebuild its windows.
void ApplyCurrentScheme(vyr::Application& app, CSchemeHost* host);

class CSchemeApplier : public vyr::SchemeSwitcher {
 public:
  CSchemeApplier(vyr::Application& app, CSchemeHost* host) : app_(app), host_(host) {}
  void ApplyCurrentScheme() override { ::ApplyCurrentScheme(app_, host_); }

 private:
  vyr::Application& app_;
  CSchemeHost* host_;
};

// The name dialog and the applier for the import run by the command
// dispatcher's "importscheme" (ApplicationServices): the main window owns
// one for as long as it lives.
class CWindowedSchemeImport {
 public:
  CWindowedSchemeImport(vyr::Application& app, CSchemeHost& host, wxWindow* parent);
  ~CWindowedSchemeImport();
  vyr::SchemeImport With();

 private:
  std::unique_ptr<vyr::SchemeNameChooser> chooser_;
  CSchemeApplier applier_;
};

// Imports the ".vyrscheme" package at address (an internet address or a
// local path) with the name dialog over parent; the questions and errors go
// through the application's message boxes. Returns the scheme folder the
// package was unpacked into, empty when the import ended before that.
std::string RunSchemeImport(vyr::Application& app, CSchemeHost* host, const std::string& address,
                            wxWindow* parent = nullptr);
