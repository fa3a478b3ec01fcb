#pragma once
// How many unread messages a mail folder holds, for the folder tree's counts:
// every message file of the folder (a non-directory file of at least 10
// bytes) whose file times say unread. Only the times are read, never a
// message, so counting changes no read state.
#include <string>

namespace vyr {

// 0 for a folder that does not exist or cannot be listed.
int CountUnreadMessages(const std::string& folderPath);

}  // namespace vyr
