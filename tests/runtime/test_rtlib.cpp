// The runtime's number, error-text and command-line helpers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "runtime/rtlib.h"

TEST(Numbers, RoundingAndPowers) {
  const struct {
    double got, want;
  } cases[] = {
      {double(rtlib_round(2.5)), 3}, {double(rtlib_round(-2.5)), -3}, {double(rtlib_round(2.4999)), 2},
      {double(rtlib_round(-0.4)), 0}, {rtlib_ipow(2.0, 10), 1024}, {rtlib_ipow(-3.0, 3), -27},
      {rtlib_ipow(5.0, 0), 1}, {rtlib_ipow(2.0, -2), 0.25},
      {rtlib_ipow(1e-200, -2), 1e300},  // the reciprocal of a vanishing power is capped
      {rtlib_ipow(-1e-101, -3), -1e300}, {rtlib_pow2(31), 2147483648.0}, {rtlib_pow2(32), 0},
      {rtlib_pow10(23), 1e23}, {rtlib_pow10(-2), 0.01},
  };
  for (size_t k = 0; k < std::size(cases); k++) EXPECT_DOUBLE_EQ(cases[k].got, cases[k].want) << "case " << k;
}

TEST(ErrorTexts, KeyedByMeaning) {
  EXPECT_EQ(std::string(rtlib_errno_text_of(ENAMETOOLONG)) + "|" + rtlib_errno_text_of(ENOTEMPTY) + "|" +
                rtlib_errno_text_of(EDEADLK) + "|" + rtlib_errno_text_of(9999),
            "Name too long|Directory not empty|Resource deadlock would occur|Unknown Error");
  // A real failure reads back through the current error number.
  int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  char c = 'x';
  EXPECT_EQ(write(fd, &c, 1), -1);
  EXPECT_STREQ(rtlib_errno_text(), "No space left on device");
  close(fd);
}

// A stream that failed to write reports the failure's own cause when it is closed,
// whether its buffer still held the text (full buffering) or had already lost it
// (line buffering, as the run log has); "a" adds to what the file holds.
TEST(ErrorTexts, AStreamKeepsItsWriteFailure) {
  for (int mode : {_IOFBF, _IOLBF}) {
    FILE *f = rtlib_open_stream("/dev/full", "w");
    ASSERT_NE(f, nullptr);
    setvbuf(f, nullptr, mode, BUFSIZ);
    for (int k = 0; k < 3000; k++) fprintf(f, "line %d\n", k);
    EXPECT_EQ(rtlib_close_stream(f), ENOSPC) << mode;
  }
  char name[] = "/tmp/quendar_stream_XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  for (const char *mode : {"w", "a", "a"}) {
    FILE *f = rtlib_open_stream(name, mode);
    ASSERT_NE(f, nullptr);
    fputs("ab", f);
    EXPECT_EQ(rtlib_close_stream(f), 0);
  }
  FILE *in = fopen(name, "r");
  char text[16] = {};
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(fread(text, 1, sizeof text - 1, in), 6u);
  fclose(in);
  unlink(name);
  EXPECT_STREQ(text, "ababab");
  EXPECT_EQ(rtlib_open_stream("/nonexistent/dir/x", "w"), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

TEST(CommandLine, WordsComeWholeFromTheArguments) {
  std::string longword(1000, 'w');
  char prog[] = "quendar", a[] = "my file.pde";
  char *argv[] = {prog, a, longword.data(), nullptr};
  rtlib_startup(3, argv);
  EXPECT_EQ(rtlib_arg_count() * 10 + rtlib_get_arg_flag(), 22);
  std::vector<std::string> words;
  for (int k = 0; k <= 3; k++) words.push_back(rtlib_arg_text(k));  // the text may live in one buffer
  EXPECT_EQ(words, (std::vector<std::string>{"", "my file.pde", longword, ""}));
  rtlib_startup(1, argv);
  EXPECT_EQ(rtlib_arg_count() * 10 + rtlib_get_arg_flag(), 1);
  rtlib_release_signals();
}
