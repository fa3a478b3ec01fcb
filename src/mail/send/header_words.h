#pragma once
// Header text that is not plain ASCII, written as encoded words ("=?UTF-8?B?
// ...?="), so that every server passes it and every reader shows it as
// written. Plain ASCII text is returned unchanged.
#include <string>

namespace vyr {

// An unstructured value (Subject): the whole text as encoded words of at
// most 68 characters each (of 42 bytes of text), joined by blanks (which
// readers drop between encoded words, and where the header line is folded);
// no character's bytes are split between two words.
std::string EncodeHeaderText(const std::string& text);

// An address list (From, To, CC): each entry's display name before "<" is
// encoded when it is not ASCII (quotes around it are dropped); the address
// and the separators stay as they are. An entry without "<" is kept.
std::string EncodeAddressList(const std::string& list);

}  // namespace vyr
