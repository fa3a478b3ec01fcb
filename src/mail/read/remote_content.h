#pragma once
// Whether a message's page asks for content from the network: a picture, a
// style sheet, a font, a frame or anything else the engine would fetch on
// its own to show the page, as opposed to a link the reader may follow.
// The viewer offers to show such content only when the page has some; the
// engine never fetches it before the reader asks, whatever this says.
#include <string_view>

namespace vyr {

// True when an address over the network ("http:", "https:", "ftp:", "ws:",
// "wss:", any letter case) stands where the page fetches it: as the value
// of an attribute other than a link's ("href" of "a", "area" and "base",
// "action", "cite"), inside
// "url(...)" or after "@import", or in a list of sources ("srcset").
// Addresses in the text of the page or in links do not count.
bool MayHoldRemoteContent(std::string_view html);

}  // namespace vyr
