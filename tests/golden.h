// Golden files: text compared with a stored file under the test data folder, which
// QUENDAR_UPDATE_GOLDEN rewrites instead.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/tempfiles.h"

inline void expect_golden(const std::string &name, const std::string &text) {
  const char *dir = getenv("QUENDAR_TEST_DATA");
  ASSERT_NE(dir, nullptr);
  std::string path = std::string(dir) + "/" + name;
  if (getenv("QUENDAR_UPDATE_GOLDEN")) spit(path, text);
  EXPECT_EQ(slurp(path), text) << name;
}
