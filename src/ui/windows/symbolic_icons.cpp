#include "ui/windows/symbolic_icons.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"

namespace {

// Blends a picture of the toolkit onto the image at a point (alpha kept
// where the image has it).
void Blend(GdkPixbuf* pixbuf, wxImage& image, int left, int top) {
  const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
  const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int ix = left + x, iy = top + y;
      if (ix < 0 || iy < 0 || ix >= image.GetWidth() || iy >= image.GetHeight()) continue;
      const guchar* p = pixels + y * stride + x * channels;
      const int a = alpha ? p[3] : 255;
      auto mix = [a](int over, int under) { return static_cast<unsigned char>((over * a + under * (255 - a)) / 255); };
      image.SetRGB(ix, iy, mix(p[0], image.GetRed(ix, iy)), mix(p[1], image.GetGreen(ix, iy)),
                   mix(p[2], image.GetBlue(ix, iy)));
      if (image.HasAlpha()) image.SetAlpha(ix, iy, static_cast<unsigned char>(std::max<int>(a, image.GetAlpha(ix, iy))));
    }
  }
}

// Draws the theme's symbolic icon centred in the cell at left.
void DrawSymbolic(wxImage& image, const std::string& name, const wxColour& ink, int left, int cell, int glyph) {
  GtkIconTheme* theme = gtk_icon_theme_get_default();
  const GdkRGBA colour{ink.Red() / 255.0, ink.Green() / 255.0, ink.Blue() / 255.0, 1.0};
  const std::string symbolic = name + "-symbolic";
  GtkIconInfo* info = gtk_icon_theme_lookup_icon(theme, symbolic.c_str(), glyph, GTK_ICON_LOOKUP_FORCE_SIZE);
  if (!info) return;
  if (GdkPixbuf* pixbuf = gtk_icon_info_load_symbolic(info, &colour, nullptr, nullptr, nullptr, nullptr, nullptr)) {
    Blend(pixbuf, image, left + (cell - gdk_pixbuf_get_width(pixbuf)) / 2, (cell - gdk_pixbuf_get_height(pixbuf)) / 2);
    g_object_unref(pixbuf);
  }
  g_object_unref(info);
}

}  // namespace

std::shared_ptr<const CImageList> SymbolicIconStrip(const std::vector<std::string>& names, const wxColour& ink,
                                                    const wxColour& ground, int cell, int glyph) {
  const int count = static_cast<int>(names.size());
  wxImage strip(cell * count, cell);
  strip.SetRGB(wxRect(0, 0, cell * count, cell), ground.Red(), ground.Green(), ground.Blue());
  for (int i = 0; i < count; ++i) DrawSymbolic(strip, names[i], ink, i * cell, cell, glyph);
  return std::make_shared<CImageList>(strip, cell);
}

wxBitmap SymbolicIcon(const std::string& name, const wxColour& ink, const wxColour& ground, int size) {
  wxImage image(size, size);
  image.SetRGB(wxRect(0, 0, size, size), ground.Red(), ground.Green(), ground.Blue());
  DrawSymbolic(image, name, ink, 0, size, size * 3 / 4);
  return wxBitmap(image);
}

wxBitmap FileTypeIcon(const std::string& mimeType, const std::string& name, int size) {
  gchar* type = mimeType.empty() ? g_content_type_guess(name.c_str(), nullptr, 0, nullptr)
                                 : g_content_type_from_mime_type(mimeType.c_str());
  if (!type) type = g_content_type_guess(name.c_str(), nullptr, 0, nullptr);
  GIcon* icon = g_content_type_get_icon(type);
  g_free(type);
  wxImage image(size, size);
  image.SetAlpha();
  std::fill_n(image.GetAlpha(), size * size, 0);
  GtkIconInfo* info = gtk_icon_theme_lookup_by_gicon(gtk_icon_theme_get_default(), icon, size,
                                                     GTK_ICON_LOOKUP_FORCE_SIZE);
  if (!info) info = gtk_icon_theme_lookup_icon(gtk_icon_theme_get_default(), "text-x-generic", size,
                                               GTK_ICON_LOOKUP_FORCE_SIZE);
  g_object_unref(icon);
  if (info) {
    if (GdkPixbuf* pixbuf = gtk_icon_info_load_icon(info, nullptr)) {
      Blend(pixbuf, image, (size - gdk_pixbuf_get_width(pixbuf)) / 2, (size - gdk_pixbuf_get_height(pixbuf)) / 2);
      g_object_unref(pixbuf);
    }
    g_object_unref(info);
  }
  return wxBitmap(image);
}

void DressAsToolbar(CButtonStrip& strip, const CSchemeArt& art, const std::vector<std::string>& icons) {
  using vyr::SchemeColour;
  strip.SetColours({art.Colour(SchemeColour::ToolBarBack), art.Colour(SchemeColour::ToolBarText),
                    art.Colour(SchemeColour::ToolBarTextRollover), art.Colour(SchemeColour::ToolBarTextSelected),
                    art.Colour(SchemeColour::ToolBarTextDisabled)});
  strip.SetFonts(art.Font(vyr::SchemeFont::Toolbar), art.Font(vyr::SchemeFont::ToolbarRollover));
  if (!icons.empty()) {
    const wxColour ground = art.Colour(SchemeColour::ToolBarBack);
    strip.SetImages({SymbolicIconStrip(icons, art.Colour(SchemeColour::ToolBarText), ground),
                     SymbolicIconStrip(icons, art.Colour(SchemeColour::ToolBarTextDisabled), ground),
                     SymbolicIconStrip(icons, art.Colour(SchemeColour::ToolBarTextRollover), ground)});
  }
  strip.SetSounds("ToolbarRollover", "ToolbarSelect");
}
