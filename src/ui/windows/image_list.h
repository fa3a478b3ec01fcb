#pragma once
// CImageList: a row of equally wide pictures cut from one bitmap, the form in
// which every scheme bitmap is used. Magenta (red 255, green 0, blue 255) is
// the transparent colour. Immutable once made, so that one
// list is shared by every window that draws with it (a scheme reload makes
// new lists and never changes the ones windows still hold).
#include <memory>
#include <string>
#include <vector>

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/image.h>

class CImageList {
 public:
  CImageList() = default;
  // Cells of cellWidth pixels and the picture's full height, left to right;
  // a last partial cell is dropped. An invalid picture or a width below 1
  // gives an empty list.
  CImageList(const wxImage& picture, int cellWidth);

  // The list from a picture file (any format wx reads: BMP, PNG), or an
  // empty list when the file does not load.
  static std::shared_ptr<const CImageList> FromFile(const std::string& path, int cellWidth);
  // The list from a picture held in memory (a compiled-in fall-back).
  static std::shared_ptr<const CImageList> FromMemory(const void* data, size_t size, int cellWidth);

  bool IsEmpty() const { return cells_.empty(); }
  int Count() const { return static_cast<int>(cells_.size()); }
  wxSize CellSize() const { return cellSize_; }
  // The cell with its mask; an invalid bitmap for an index out of range.
  const wxBitmap& Cell(int index) const;
  // Draws the cell with its top-left corner at the point; nothing for an
  // index out of range.
  void Draw(wxDC& dc, int index, const wxPoint& at) const;

 private:
  std::vector<wxBitmap> cells_;
  wxSize cellSize_{0, 0};
};
