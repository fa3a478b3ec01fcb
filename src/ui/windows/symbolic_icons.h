#pragma once
// Pictures drawn from the desktop's icon theme: toolbar strips of symbolic
// icons in one colour on the toolbar's ground (the way the scheme's own
// toolbar pictures are made), and the desktop's icon of a file's type.
#include <memory>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/image.h>

class CButtonStrip;
class CImageList;
class CSchemeArt;

// One cell per icon name ("mail-send": its "-symbolic" form is drawn),
// cell pixels square, each icon glyph pixels high and centred; a name the
// theme lacks leaves its cell empty.
std::shared_ptr<const CImageList> SymbolicIconStrip(const std::vector<std::string>& names, const wxColour& ink,
                                                    const wxColour& ground, int cell = 24, int glyph = 20);
// One symbolic icon as a bitmap on a ground.
wxBitmap SymbolicIcon(const std::string& name, const wxColour& ink, const wxColour& ground, int size);
// The desktop's icon for a MIME type (or, without one, for a file name).
wxBitmap FileTypeIcon(const std::string& mimeType, const std::string& name, int size);

// Dresses a strip as the scheme's toolbar: its colours, fonts and sounds,
// and, when icon names are given, their symbolic pictures drawn in the
// toolbar's text colours (normal, disabled, rollover) on its ground.
void DressAsToolbar(CButtonStrip& strip, const CSchemeArt& art, const std::vector<std::string>& icons = {});
