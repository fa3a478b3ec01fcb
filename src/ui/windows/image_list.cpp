#include "ui/windows/image_list.h"

#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/mstream.h>

namespace {

const wxBitmap& InvalidBitmap() {
  static const wxBitmap invalid;
  return invalid;
}

}  // namespace

CImageList::CImageList(const wxImage& picture, int cellWidth) {
  if (!picture.IsOk() || cellWidth < 1) return;
  const int height = picture.GetHeight();
  const int count = picture.GetWidth() / cellWidth;
  cells_.reserve(count);
  for (int i = 0; i < count; ++i) {
    wxImage cell = picture.GetSubImage(wxRect(i * cellWidth, 0, cellWidth, height));
    // Magenta marks what is not drawn. A picture with its own alpha keeps it.
    if (!cell.HasAlpha()) cell.SetMaskColour(255, 0, 255);
    cells_.emplace_back(cell);
  }
  cellSize_ = wxSize(cellWidth, height);
}

std::shared_ptr<const CImageList> CImageList::FromFile(const std::string& path, int cellWidth) {
  wxImage picture;
  if (!path.empty() && wxFileExists(wxString::FromUTF8(path.c_str()))) {
    wxLogNull quiet;  // a damaged file is an empty list, not a dialog
    picture.LoadFile(wxString::FromUTF8(path.c_str()));
  }
  return std::make_shared<const CImageList>(picture, cellWidth);
}

std::shared_ptr<const CImageList> CImageList::FromMemory(const void* data, size_t size,
                                                         int cellWidth) {
  wxImage picture;
  if (data && size) {
    wxLogNull quiet;
    wxMemoryInputStream in(data, size);
    picture.LoadFile(in);
  }
  return std::make_shared<const CImageList>(picture, cellWidth);
}

const wxBitmap& CImageList::Cell(int index) const {
  if (index < 0 || index >= Count()) return InvalidBitmap();
  return cells_[index];
}

void CImageList::Draw(wxDC& dc, int index, const wxPoint& at) const {
  if (index < 0 || index >= Count()) return;
  dc.DrawBitmap(cells_[index], at, true);
}
