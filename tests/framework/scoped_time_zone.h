#pragma once
// Sets TZ for the scope; local-time conversions follow it only after tzset().
#include <ctime>
#include <optional>

#include "tests/support/test_support.h"

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    env_.emplace("TZ", zone);
    tzset();
  }
  ~ScopedTimeZone() {
    env_.reset();
    tzset();
  }

 private:
  std::optional<testsupport::ScopedEnv> env_;
};
