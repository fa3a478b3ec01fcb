#include "app/message_box.h"

#include <cstdio>

#include "platform/string_table.h"

namespace vyr {

int StderrMessageBox::Error(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n",
               caption.empty() ? kErrorBoxCaption.Text().c_str() : caption.c_str(), text.c_str());
  return IDOK;
}

int StderrMessageBox::Question(const std::string& text, const std::string& caption, bool*) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return IDNO;
}

int StderrMessageBox::Information(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n",
               caption.empty() ? kInformationBoxCaption.Text().c_str() : caption.c_str(), text.c_str());
  return IDOK;
}

}  // namespace vyr
