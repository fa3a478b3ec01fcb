#pragma once
// The text a reader sees in an HTML body, for quoting it in a reply: the
// tags go, the words stay.
//
// Script, style and head elements and comments are dropped with their
// content; "<br>" ends a line; the block elements (p, div, headings, lists
// and their items, table rows, quotes, pre, hr) stand on lines of their own,
// paragraphs and headings with an empty line around them; table cells are
// kept apart by a blank. Runs of white space become one space except inside
// "<pre>". Character references (&amp;, &#233;, &#xE9;, and the common named
// ones) become their UTF-8 characters; an unknown one is kept as written.
// Lines lose their trailing blanks, no more than one empty line stands
// between two lines of text, and the result has no blank lines at either
// end.
#include <string>
#include <string_view>

namespace vyr {

std::string HtmlToText(std::string_view html);

// Whether a text part is an HTML document by its own first characters:
// "<html" or "<!doctype html" (any case) after leading white space.
bool LooksLikeHtml(std::string_view text);

}  // namespace vyr
