#pragma once
#include <ctime>
#include <optional>
#include <string>

#include "mail/body/rich_text.h"
#include "tools/test_support.h"

namespace vyr::mailtest {
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    env_.emplace("TZ", std::string(zone));
    tzset();
  }
  ~ScopedZone() {
    env_.reset();
    tzset();
  }
 private:
  std::optional<test::ScopedEnv> env_;
};

inline std::string PlainBody(const std::string& text) {
  RichTextDocument doc;
  doc.Append(text, doc.DefaultFormat());
  return GetBodyRichText(doc);
}

}  // namespace vyr::mailtest
