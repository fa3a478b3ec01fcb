#pragma once
// Helpers shared by the mail store tests.
#include <ctime>
#include <optional>
#include <string>

#include "tools/test_support.h"

namespace vyr::mailtest {

// Local time as a fixed zone for the lifetime of the object.
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

}  // namespace vyr::mailtest
