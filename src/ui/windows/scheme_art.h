#pragma once
// CSchemeArt: the current scheme made into things windows draw with: fonts
// (a face this system lacks becomes the desktop's sans-serif font), colours,
// the background brush, every image list and the logo. One object per load,
// shared: windows hold a std::shared_ptr to the art they drew with, so a
// scheme reload never frees what an open dialog or popup still uses.
#include <array>
#include <memory>

#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/colour.h>
#include <wx/font.h>

#include "schemes/scheme_look.h"

class CImageList;

namespace vyr {
class Application;
}

class CSchemeArt {
 public:
  // Loads the application's current scheme.
  static std::shared_ptr<const CSchemeArt> Load(const vyr::Application& app);
  // The art of the last load (Load makes it current); never null after the
  // first load: before it, the compiled-in look.
  static std::shared_ptr<const CSchemeArt> Current();
  static void SetCurrent(std::shared_ptr<const CSchemeArt> art);

  const vyr::SchemeLook& Look() const;
  wxColour Colour(vyr::SchemeColour which) const;
  const wxFont& Font(vyr::SchemeFont which) const;
  // Never null; an empty list when neither the scheme nor the program has
  // the picture.
  std::shared_ptr<const CImageList> Images(vyr::SchemeImages which) const;
  const wxBitmap& Logo() const;
  const wxBrush& BackgroundBrush() const;

  // Made from a look read already (Load reads the application's; the
  // compiled-in look before the first load).
  explicit CSchemeArt(const vyr::SchemeLook& look);

 private:
  vyr::SchemeLook look_;
  std::array<wxFont, static_cast<int>(vyr::SchemeFont::Count)> fonts_;
  std::array<std::shared_ptr<const CImageList>, static_cast<int>(vyr::SchemeImages::Count)> images_;
  wxBitmap logo_;
  wxBrush background_;
};
