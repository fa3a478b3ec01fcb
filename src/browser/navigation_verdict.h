#pragma once
// How far the special-address filter may trust a navigation, as the pane
// that saw it decided (see browser/navigation_policy.h).
namespace vyr {

enum class Trust {
  None,       // run nothing
  UserClick,  // a real click on a link of a page of any site: only commands that open or show something
  Full,       // typed by the user, or started by a trusted document of the main frame
};

// The special addresses a pane may take (bits).
enum SpecialAddressKind : unsigned {
  kTakesNothing = 0,
  kTakesMailto = 1,
  kTakesCommands = 2,
  kTakesSetupOffer = 4,
  kTakesChannelFiles = 8,
  kTakesEverything = 15,
};

struct NavigationVerdict {
  Trust trust = Trust::None;
  // The user started it: typed it, or pressed the pointer on the very link,
  // in the main frame (mailto links need this).
  bool userStarted = false;
  unsigned takes = kTakesNothing;
};

}  // namespace vyr
