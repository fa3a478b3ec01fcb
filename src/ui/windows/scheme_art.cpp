#include "ui/windows/scheme_art.h"

#include <mutex>

#include <wx/fontenum.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/settings.h>

#include "base/application.h"
#include "platform/file_system.h"
#include "ui/windows/built_in_pictures.h"
#include "ui/windows/image_list.h"


namespace {

using vyr::SchemeFont;
using vyr::SchemeImages;

std::mutex gCurrentLock;
std::shared_ptr<const CSchemeArt> gCurrent;

// "toolbar.bmp" -> "toolbar": the name of the compiled-in picture.
std::string BuiltInName(const std::string& file) {
  const size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

// A scheme file's picture (BMP, or any other form the picture reader
// knows); invalid when it is missing or damaged. A BMP is checked before the
// reader sees it: the reader stops the program with an assertion on some
// damaged headers (a height of 0).
wxImage LoadPicture(const std::string& path) {
  wxImage picture;
  std::string bytes;
  if (path.empty() || !vyr::platform::ReadWholeFile(path, bytes) || bytes.empty()) return picture;
  if (bytes.compare(0, 2, "BM") == 0 && !vyr::BmpIsWhole(bytes)) return picture;
  wxLogNull quiet;  // a damaged file falls back, it is not an error box
  wxMemoryInputStream in(bytes.data(), bytes.size());
  picture.LoadFile(in, wxBITMAP_TYPE_ANY);
  return picture;
}

wxImage BuiltInPicture(const std::string& file) {
  wxImage picture;
  const auto* p = vyr::detail::FindBuiltInSchemePicture(BuiltInName(file).c_str());
  if (!p) return picture;
  wxLogNull quiet;
  wxMemoryInputStream in(p->data, p->size);
  picture.LoadFile(in, wxBITMAP_TYPE_PNG);
  return picture;
}

// A picture that loaded and has pixels: a damaged file (cut short, not a
// picture, a height or width of 0) counts as missing.
bool Usable(const wxImage& picture) {
  return picture.IsOk() && picture.GetWidth() > 0 && picture.GetHeight() > 0;
}

// The scheme's file when it loads, else the default scheme's file (when the
// scheme's own is damaged), else the compiled-in picture of the same role;
// an invalid image when none has it.
wxImage SchemePicture(const std::string& path, const std::string& fallback, const std::string& file) {
  wxImage picture = LoadPicture(path);
  if (!Usable(picture)) picture = LoadPicture(fallback);
  if (!Usable(picture)) picture = BuiltInPicture(file);
  return Usable(picture) ? picture : wxImage();
}

// The face as asked when this system has it, else the desktop's own.
wxString FaceOrDesktop(const std::string& face) {
  const wxString asked = wxString::FromUTF8(face.c_str());
  if (!asked.empty() && wxFontEnumerator::IsValidFacename(asked)) return asked;
  return wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetFaceName();
}

wxFont MakeFont(const vyr::SchemeFontSpec& spec) {
  // A weight of 0 (or nonsense) is the normal weight; the rest is kept to the
  // range fonts have.
  int weight = spec.weight;
  if (weight <= 0) weight = wxFONTWEIGHT_NORMAL;
  if (weight > wxFONTWEIGHT_MAX) weight = wxFONTWEIGHT_MAX;
  wxFontInfo info(spec.points > 0 ? spec.points : 8);
  info.FaceName(FaceOrDesktop(spec.face)).Weight(weight).Underlined(spec.underline);
  return wxFont(info);
}

}  // namespace

CSchemeArt::CSchemeArt(const vyr::SchemeLook& look) : look_(look) {
  for (int i = 0; i < static_cast<int>(SchemeFont::Count); ++i) {
    fonts_[i] = MakeFont(look_.fonts[i]);
  }
  for (int i = 0; i < static_cast<int>(SchemeImages::Count); ++i) {
    const vyr::SchemeImageSpec& spec = vyr::ImageSpec(static_cast<SchemeImages>(i));
    const wxImage picture = SchemePicture(look_.imageFiles[i], look_.imageFallbackFiles[i], spec.file);
    // A whole picture (a logo piece) is one cell of its own width.
    const int width = spec.cellWidth > 0 ? spec.cellWidth : (picture.IsOk() ? picture.GetWidth() : 0);
    images_[i] = std::make_shared<const CImageList>(picture, width);
  }
  const wxImage logo = SchemePicture(look_.logoFile, look_.logoFallbackFile, "logo.bmp");
  if (logo.IsOk()) logo_ = wxBitmap(logo);
  background_ = wxBrush(Colour(vyr::SchemeColour::ToolBarBack));
}

std::shared_ptr<const CSchemeArt> CSchemeArt::Load(const vyr::Application& app) {
  auto art = std::make_shared<const CSchemeArt>(vyr::LoadSchemeLook(app));
  SetCurrent(art);
  return art;
}

std::shared_ptr<const CSchemeArt> CSchemeArt::Current() {
  std::lock_guard lock(gCurrentLock);
  if (!gCurrent) gCurrent = std::make_shared<const CSchemeArt>(vyr::DefaultSchemeLook());
  return gCurrent;
}

void CSchemeArt::SetCurrent(std::shared_ptr<const CSchemeArt> art) {
  if (!art) return;
  std::lock_guard lock(gCurrentLock);
  // Windows that drew with the old art hold it still; it goes when the last
  // of them lets go.
  gCurrent = std::move(art);
}

const vyr::SchemeLook& CSchemeArt::Look() const { return look_; }

wxColour CSchemeArt::Colour(vyr::SchemeColour which) const {
  const vyr::ColorRef c = look_.Colour(which);
  return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

const wxFont& CSchemeArt::Font(vyr::SchemeFont which) const {
  return fonts_[static_cast<int>(which)];
}

std::shared_ptr<const CImageList> CSchemeArt::Images(vyr::SchemeImages which) const {
  return images_[static_cast<int>(which)];
}

const wxBitmap& CSchemeArt::Logo() const { return logo_; }

const wxBrush& CSchemeArt::BackgroundBrush() const { return background_; }
