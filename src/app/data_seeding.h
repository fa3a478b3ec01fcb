#pragma once
// Seeding of the data root from the files shipped with the program: a new
// data root gets the shipped schemes ("media/**": the "default" scheme's
// bitmaps, "config.ini", pages and sounds) on start. A file that exists in
// the data root is never replaced, so the user's changes and schemes
// installed later stay as they are.
#include <string>

#include "app/data_directories.h"

namespace vyr {

// The folder of the shipped files: "<program folder>/data" when it holds a
// "media" folder (a build tree), else the installed
// "<program folder>/../share/vyrelle"; empty when neither exists.
std::string FindShippedDataFolder(const std::string& programDir);

// Copies every regular file below "<shippedDir>/media" that the data root's
// "media" folder lacks, creating folders as needed. Returns the number of
// files copied; -1 when the data root cannot be made.
int SeedDataRoot(const std::string& shippedDir, const DataDirectories& dirs);

}  // namespace vyr
