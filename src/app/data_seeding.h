#pragma once
// Seeding of the data root from the files shipped with the program: a new
// data root gets the shipped schemes ("media/**": the "default" scheme's
// bitmaps, "config.ini", pages and sounds), the shipped data files
// ("Data/**": the fixed channels "Default/chanfixed.vyr") and the info box
// pages ("InfoBox/default/Dir1/BoxN.htm"), the search bar's page
// ("Pages/find.htm") and the search window's tree and page ("Search/search.nsf",
// "Search/web.htm") on start, so the program shows its channels, a rotating
// info box and its searches without a network or a home server. A file that
// exists in the data root is never replaced, so the user's changes, schemes
// installed later and channel files fetched or updated later stay as they
// are.
#include <string>

#include "base/data_directories.h"

namespace vyr {

// The folder of the shipped files: "<program folder>/data" when it holds a
// "media" folder (a build tree), else the installed
// "<program folder>/../share/vyrelle"; empty when neither exists.
std::string FindShippedDataFolder(const std::string& programDir);

// Copies every regular file below "<shippedDir>/media", "<shippedDir>/Data",
// "<shippedDir>/InfoBox", "<shippedDir>/Pages" and "<shippedDir>/Search" that
// the data root's folder of the same name
// lacks, creating folders as needed. Links
// below the shipped folders are neither copied nor followed, and a name
// already taken in the data root (by a file, a folder or a link) is left
// alone. Returns the number of files copied; -1 when the data root or one of
// its folders cannot be made.
int SeedDataRoot(const std::string& shippedDir, const DataDirectories& dirs);

}  // namespace vyr
