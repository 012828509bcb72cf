// The zeroing allocator, the release routine, the memory counter and the debug log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/strings.h"
#include "tests/runtime/fatal_stop.h"

TEST(Memory, NewBlocksAreZeroFreeClearsThePointerAndExhaustionIsOverflow) {
  double sentinel = 1, *s = &sentinel;
  for (int count : {0, -5}) {
    bopmemalloc(&s, count, sizeof(double));
    EXPECT_EQ(s, &sentinel) << "a count of " << count << " leaves the pointer as it was";
  }
  for (int round = 0; round < 50; round++) {
    unsigned char *p = nullptr;
    bopmemalloc(&p, 4096 + round, 1);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4096 + round; i++) ASSERT_EQ(p[i], 0);
    memset(p, 0xab, 4096 + round);  // dirty it, so a reused block shows up
    bopmemfree(&p);
    EXPECT_EQ(p, nullptr);
  }
  int *none = nullptr;
  bopmemfree(&none);
  EXPECT_EQ(none, nullptr);
  char *p = nullptr;  // exhaustion
  EXPECT_EQ(fatal_stop([&] { bopmemalloc(&p, 0x7fffffff, 0x7fffffff); }), "MEMORY OVERFLOW");
  EXPECT_EQ(p, nullptr);
}

TEST(DebugLog, OpensOnceTruncatesAndBecomesTheRuntimeLog) {
  TempDir dir;
  std::string path = dir.file("quendar.dbg");
  spit(path, "old contents\n");
  ASSERT_TRUE(debug_debug_on(path.c_str()));
  EXPECT_TRUE(debug_output == 1 && rtlib_log_file() == debug_file);
  EXPECT_TRUE(debug_debug_on("/nonexistent/other.dbg")) << "a second open keeps the first log";
  rtlib_log_line("LINE");
  debug_debug_off();
  EXPECT_TRUE(debug_output == 0 && rtlib_log_file() == stderr);
  EXPECT_EQ(slurp(path), "LINE\n");
  struct stat st;  // a log created for its owner only
  unlink(path.c_str());
  ASSERT_TRUE(debug_debug_on(path.c_str()));
  debug_debug_off();
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(DebugLog, ANameLeftByAnotherUserIsNotTaken) {
  TempDir dir;
  std::string d = dir.path + "/", mine = d + "quendar-" + std::to_string(geteuid()) + ".dbg";
  EXPECT_EQ(std::string(debug_log_path(d.c_str())), d + "quendar.dbg");  // none yet
  spit(d + "quendar.dbg", "");
  EXPECT_EQ(std::string(debug_log_path(d.c_str())), d + "quendar.dbg");  // our own
  if (chown((d + "quendar.dbg").c_str(), geteuid() + 1, getegid()) != 0) GTEST_SKIP() << "cannot chown";
  EXPECT_EQ(std::string(debug_log_path(d.c_str())), mine);
}

TEST(DebugLog, RefusesToFollowASymbolicLink) {
  TempDir dir;
  std::string victim = dir.file("victim"), link = dir.file("quendar.dbg");
  spit(victim, "precious\n");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  EXPECT_FALSE(debug_debug_on(link.c_str()));
  EXPECT_EQ(debug_open, 0);
  EXPECT_EQ(slurp(victim), "precious\n");
}
