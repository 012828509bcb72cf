// The runtime's number, error-text and command-line helpers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "runtime/rtlib.h"

TEST(Numbers, RoundIsHalfAwayFromZero) {
  EXPECT_EQ(rtlib_round(2.5), 3);
  EXPECT_EQ(rtlib_round(-2.5), -3);
  EXPECT_EQ(rtlib_round(2.4999), 2);
  EXPECT_EQ(rtlib_round(-0.4), 0);
}

TEST(Numbers, IntegerPowers) {
  EXPECT_EQ(rtlib_ipow(2.0, 10), 1024.0);
  EXPECT_EQ(rtlib_ipow(-3.0, 3), -27.0);
  EXPECT_EQ(rtlib_ipow(5.0, 0), 1.0);
  EXPECT_EQ(rtlib_ipow(2.0, -2), 0.25);
  EXPECT_EQ(rtlib_ipow(1e-200, -2), 1e300) << "a reciprocal of a vanishing power is capped";
  EXPECT_EQ(rtlib_ipow(-1e-101, -3), -1e300);
  EXPECT_EQ(rtlib_pow2(31), 2147483648.0);
  EXPECT_EQ(rtlib_pow2(32), 0.0);
}

TEST(ErrorTexts, KeyedByMeaning) {
  EXPECT_STREQ(rtlib_errno_text_of(ENOSPC), "No space left on device");
  EXPECT_STREQ(rtlib_errno_text_of(ENOENT), "No such file or directory");
  EXPECT_STREQ(rtlib_errno_text_of(ENAMETOOLONG), "Name too long");
  EXPECT_STREQ(rtlib_errno_text_of(ENOTEMPTY), "Directory not empty");
  EXPECT_STREQ(rtlib_errno_text_of(EDEADLK), "Resource deadlock would occur");
  EXPECT_STREQ(rtlib_errno_text_of(9999), "Unknown Error");
  // A real failure reads back through the current error number.
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  char c = 'x';
  EXPECT_EQ(write(fd, &c, 1), -1);
  EXPECT_STREQ(rtlib_errno_text(), "No space left on device");
  close(fd);
}

TEST(CommandLine, WordsComeFromTheArguments) {
  char prog[] = "quendar", a[] = "-B", b[] = "my file.pde";
  char *argv[] = {prog, a, b, nullptr};
  rtlib_startup(2 + 1, argv);
  EXPECT_EQ(rtlib_arg_count(), 2);
  EXPECT_EQ(rtlib_get_arg_flag(), 2);
  EXPECT_STREQ(rtlib_arg_text(2), "my file.pde");
  EXPECT_STREQ(rtlib_arg_text(0), "");
  EXPECT_STREQ(rtlib_arg_text(3), "");
  rtlib_startup(1, argv);
  EXPECT_EQ(rtlib_arg_count(), 0);
  EXPECT_EQ(rtlib_get_arg_flag(), 1);
  rtlib_release_signals();
}
