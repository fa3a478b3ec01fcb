#include "base/settings_table.h"

#include "platform/text.h"

namespace vyr {

bool NamesSetting(std::string_view section, std::string_view key, std::string_view ownSection,
                  std::string_view ownKey) {
  return platform::EqualsNoCase(section, ownSection) && platform::EqualsNoCase(key, ownKey);
}

}  // namespace vyr
