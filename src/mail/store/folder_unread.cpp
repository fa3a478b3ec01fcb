#include "mail/store/folder_unread.h"

#include <filesystem>

#include "mail/store/mail_store.h"

namespace vyr {

int CountUnreadMessages(const std::string& folderPath) {
  namespace fs = std::filesystem;
  if (folderPath.empty()) return 0;
  std::error_code ec;
  fs::directory_iterator it(folderPath, ec), end;
  int count = 0;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code entryError;
    if (it->is_directory(entryError) || !it->is_regular_file(entryError)) continue;
    if (it->file_size(entryError) < kMinMessageSize || entryError) continue;
    if (MailStore::IsUnread(it->path().string())) ++count;
  }
  return count;
}

}  // namespace vyr
