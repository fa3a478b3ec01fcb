#pragma once
// Plain text to HTML with clickable links, for signatures and for showing
// plain-text messages.
//
//   <HTML><BODY BGCOLOR=#FFFFFF> ... </HTML></BODY>
//
// Web links start at "http://" or "www." (exact case) and run to the next
// white space, without the full stops and commas at their end (sentence
// punctuation); they link to the text, with "http://" put in front when it
// does not begin with it. Mail links are found around every "@" that is
// neither the first nor the last character and has a mail character on both
// sides; they run over mail characters both ways, without full stops at
// their end. Mail characters are letters, digits and the other characters up
// to 127 that are not white space, control characters or one of
// " ( ) , : ; < > [ \ ].
//
// Links never overlap: a link is written where the walk through the text
// reaches its start, and the walk continues after its end. A link that
// starts inside one already written is dropped (a mail address inside a web
// address stays part of the web link; a web address inside a mail address
// part of the mail link); every later link is still found. Where both kinds
// start at the same character the web link wins.
//
// Other characters: a line feed is "<BR>"; the double quote, "&", "<" and
// ">" are "&#34", "&#38", "&#60" and "&#62" - these four escapes have no
// semicolon unless a digit or a semicolon follows, which would otherwise
// read as part of the escape. A tab is followed by eight "&nbsp"; a space
// is followed by another space, or by "&nbsp" when the character before it
// was a space as well ("&nbsp;" when a semicolon follows). Everything else,
// carriage returns and bytes above 127 included, is written unchanged.
// Links are escaped the same way, so no text can break out of the anchor.
#include <string>
#include <string_view>

namespace vyr {

// Appends the HTML of the text to out.
void TextToHtml(std::string_view text, std::string& out);
std::string TextToHtml(std::string_view text);

}  // namespace vyr
