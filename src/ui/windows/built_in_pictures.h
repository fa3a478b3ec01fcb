#pragma once
// The scheme pictures compiled into the program (from res/schemes), used when
// neither the current scheme nor "default" has a picture.
#include <cstddef>

namespace vyr::detail {
struct BuiltInPicture {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};
// The compiled-in picture named like the scheme file without its ending
// ("toolbar" for "toolbar.bmp"), or null.
const BuiltInPicture* FindBuiltInSchemePicture(const char* name);
}  // namespace vyr::detail
