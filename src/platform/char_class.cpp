#include "platform/char_class.h"

#include <locale.h>
#include <wctype.h>

namespace vyr::platform {

namespace {

// The C library's UTF-8 character data, opened once; null without it.
locale_t Utf8Classes() {
  static const locale_t classes = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!l) l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return classes;
}

bool FallbackIsLetter(std::uint32_t cp) {
  if (cp < 0xC0) return cp == 0xAA || cp == 0xB5 || cp == 0xBA;
  if (cp <= 0xFF) return cp != 0xD7 && cp != 0xF7;
  const bool punctuationOrSymbol = (cp >= 0x2000 && cp <= 0x2BFF) || (cp >= 0x3000 && cp <= 0x303F) ||
                                   (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF20) ||
                                   (cp >= 0x1F000 && cp <= 0x1FAFF);
  return !punctuationOrSymbol;
}

}  // namespace

bool IsLetter(std::uint32_t cp) {
  if (cp < 0x80) return (cp | 0x20) >= 'a' && (cp | 0x20) <= 'z';
  if (locale_t classes = Utf8Classes()) return iswalpha_l(static_cast<wint_t>(cp), classes) != 0;
  return FallbackIsLetter(cp);
}

}  // namespace vyr::platform
