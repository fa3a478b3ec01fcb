// Feeds arbitrary bytes to the filling of address templates (a template and
// the text put into it, split at the first line break) and to the frame
// layout (sizes and margins taken from the bytes). Checks that the inserted
// text brings no character of its own into the address except unreserved
// ones and its %XX escapes, that the escapes decode back to the text, and
// that no part of the frame lies outside the client area or has a negative
// size.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "browser/main_window_model.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

int Hex(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

void CheckRect(const vyr::Rect& r, int width, int height) {
  Require(r.width >= 0 && r.height >= 0);
  if (r.width == 0 || r.height == 0) return;
  Require(r.x >= 0 && r.y >= 0 && r.Right() <= width && r.Bottom() <= height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\n');
  const std::string pattern = input.substr(0, cut);
  const std::string value = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  const std::string filled = vyr::FillAddressTemplate(pattern, value);
  // Every reserved character of the address comes from the template.
  for (int c = 0; c < 256; ++c) {
    if (Unreserved(static_cast<unsigned char>(c)) || c == '%' || c == 's') continue;
    size_t inPattern = 0, inFilled = 0;
    for (char p : pattern) inPattern += static_cast<unsigned char>(p) == c;
    for (char f : filled) inFilled += static_cast<unsigned char>(f) == c;
    Require(inPattern == inFilled);
  }
  const std::string encoded = vyr::PercentEncode(value);
  std::string decoded;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%') {
      Require(i + 2 < encoded.size());
      decoded += static_cast<char>(Hex(encoded[i + 1]) * 16 + Hex(encoded[i + 2]));
      i += 2;
    } else {
      Require(Unreserved(static_cast<unsigned char>(encoded[i])));
      decoded += encoded[i];
    }
  }
  Require(decoded == value);

  // The frame layout from sizes in the first bytes.
  if (size >= 16) {
    auto number = [&](size_t at) {
      int16_t v;
      std::memcpy(&v, data + at, sizeof v);
      return static_cast<int>(v);
    };
    vyr::FrameLayoutInput in;
    in.clientWidth = number(0);
    in.clientHeight = number(2);
    in.toolbarSize = data[4] % 4;
    in.showToolbar = data[5] & 1;
    in.showAddressBar = data[5] & 2;
    in.showContentBar = data[5] & 4;
    in.showStatusBar = data[5] & 8;
    in.logoWidth = number(6);
    in.animationWidth = number(8);
    in.buttons = {number(10) % 64, number(12) % 64, number(14) % 64, -1};
    const vyr::FrameLayout f = vyr::LayoutFrame(in);
    const int w = std::max(0, in.clientWidth), h = std::max(0, in.clientHeight);
    for (const vyr::Rect* r : {&f.toolbar, &f.logo, &f.addressBar, &f.addressBox, &f.security, &f.contentBar,
                               &f.pane, &f.statusBar, &f.statusText, &f.progress, &f.animation})
      CheckRect(*r, w, h);
    Require(f.buttons.width >= 0 && f.buttons.height >= 0);
  }
  return 0;
}
