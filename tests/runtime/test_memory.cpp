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
#include "tests/runtime/harness.h"

TEST(Memory, CountZeroOrNegativeLeavesThePointerAsItWas) {
  double sentinel = 1;
  double *p = &sentinel;
  bopmemalloc(&p, 0, sizeof(double));
  EXPECT_EQ(p, &sentinel);
  bopmemalloc(&p, -5, sizeof(double));
  EXPECT_EQ(p, &sentinel);
}

TEST(Memory, NewBlocksAreZeroAndFreeClearsThePointer) {
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
}

TEST(Memory, ExhaustionIsMemoryOverflow) {
  HookScope hook;
  char *p = nullptr;
  int code = except_catch("home", [&] { bopmemalloc(&p, 0x7fffffff, 0x7fffffff); });
  EXPECT_EQ(code, EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, "MEMORY OVERFLOW");
  EXPECT_EQ(p, nullptr);
  finish_report("home");
}

TEST(Memory, StringOwnersKeepXmemBalanced) {
  int64_t before = XMEM;
  String s = {};
  strings_copyto_1(&s, "short");
  EXPECT_EQ(s.capacity, 7);
  EXPECT_EQ(XMEM, before + 8);
  strings_copyto_1(&s, "a longer text, 30 characters.");
  EXPECT_EQ(s.capacity, 31 + 8 - 8);  // (29 + 8) & ~7 = 32 bytes, capacity 31
  EXPECT_EQ(XMEM, before + 32);
  strings_free_0(&s);
  EXPECT_EQ(XMEM, before);
  EXPECT_EQ(s.text, nullptr);
}

TEST(Memory, AllocationTraceListsLiveBlocksAndSqueezesFreedOnes) {
  LogCapture log;
  rtlib_set_memtrace(1);
  char *a = nullptr, *b = nullptr;
  {
    TRACE("owner_0");
    bopmemalloc(&a, 16, 1);
    bopmemalloc(&b, 32, 1);
  }
  bopmemfree(&a);
  memtrace();
  bopmemfree(&b);
  rtlib_set_memtrace(0);
  std::string t = log.text();
  EXPECT_NE(t.find("_MOREMB_ was 0 is 1024\n"), std::string::npos);
  EXPECT_NE(t.find("BOPMEMALLOC 10 AT "), std::string::npos);
  EXPECT_NE(t.find(" IN owner_0 < "), std::string::npos);
  EXPECT_NE(t.find(" (SQUEEZE ITEM 1023 OF 1024).\n"), std::string::npos);
  EXPECT_NE(t.find("*MEMTRACE*  1 ENTRIES\n"), std::string::npos);
  EXPECT_NE(t.find("       20 BYTES AT "), std::string::npos);
  EXPECT_NE(t.find(" TOTAL=20 (32) Bytes\n"), std::string::npos);
}

TEST(DebugLog, OpensOnceTruncatesAndBecomesTheRuntimeLog) {
  char dir[] = "/tmp/quendar-dbg-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/quendar.dbg";
  FILE *f = fopen(path.c_str(), "w");
  fputs("old contents\n", f);
  fclose(f);
  ASSERT_TRUE(debug_debug_on(path.c_str()));
  EXPECT_EQ(debug_output, 1);
  EXPECT_EQ(rtlib_log_file(), debug_file);
  EXPECT_TRUE(debug_debug_on("/nonexistent/other.dbg")) << "a second open keeps the first log";
  EXPECT_EQ(std::string(debug_path()), path);
  rtlib_log_line("LINE");
  debug_debug_off();
  EXPECT_EQ(debug_output, 0);
  EXPECT_EQ(rtlib_log_file(), stderr);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  f = fopen(path.c_str(), "r");
  char buf[64] = {};
  fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  EXPECT_STREQ(buf, "LINE\n");
  unlink(path.c_str());
  // A fresh log is created for its owner only.
  ASSERT_TRUE(debug_debug_on(path.c_str()));
  debug_debug_off();
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  unlink(path.c_str());
  rmdir(dir);
}

TEST(DebugLog, RefusesToFollowASymbolicLink) {
  char dir[] = "/tmp/quendar-dbg-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string victim = std::string(dir) + "/victim", link = std::string(dir) + "/quendar.dbg";
  FILE *f = fopen(victim.c_str(), "w");
  fputs("precious\n", f);
  fclose(f);
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  EXPECT_FALSE(debug_debug_on(link.c_str()));
  EXPECT_EQ(debug_open, 0);
  f = fopen(victim.c_str(), "r");
  char buf[32] = {};
  fread(buf, 1, sizeof buf - 1, f);
  fclose(f);
  EXPECT_STREQ(buf, "precious\n");
  unlink(link.c_str());
  unlink(victim.c_str());
  rmdir(dir);
}
