// Buffered binary files: byte layouts checked by od and Python's struct, line ends,
// end of file, seek and patch, 64-bit positions, failed writes and replacement.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runtime/filio.h"
#include "tests/runtime/fatal_stop.h"

namespace {

struct Reader {
  IOfile f = {};
  OwnedString name;
  Reader(const std::string &path, int32_t size = 4096) : name(path) {
    filio_initialize(&f);
    EXPECT_TRUE(filio_open_get(&f, size, &name));
  }
  ~Reader() {
    filio_close_get(&f);
    strings_free_0(&f.name);
  }
};

struct Writer {
  IOfile f = {};
  Writer(const std::string &path, int32_t size = 4096, uint32_t order = 0) {
    filio_initialize(&f);
    filio_open_put(&f, size, path.c_str());
    filio_set_byte_order(&f, order);
  }
  ~Writer() {
    filio_close_put(&f);
    strings_free_0(&f.name);
  }
};

void write_sample(const std::string &path, uint32_t order) {
  Writer w(path, 5, order);  // a small buffer, so values straddle buffer ends
  OwnedString abc("abc");
  filio_put_long(&w.f, 1);
  filio_put_double(&w.f, 1.5);
  filio_put_string(&w.f, &abc);
}

}  // namespace

// ---- Byte layouts, checked by tools that do not share our code ----------------------

TEST(FilioLayout, PythonStructReadsWhatWeWrite) {
  TempDir dir;
  write_sample(dir.file("le.bin"), 0);
  write_sample(dir.file("be.bin"), 1);
  const char *py =
      "import struct,sys\n"
      "for name, o in ((sys.argv[1], '<'), (sys.argv[2], '>')):\n"
      "    d = open(name, 'rb').read()\n"
      "    i, x, n = struct.unpack_from(o + 'idH', d)\n"
      "    print(i, x, n, d[14:14 + n].decode(), len(d))\n";
  spit(dir.file("check.py"), py);
  EXPECT_EQ(run("python3 " + dir.file("check.py") + " " + dir.file("le.bin") + " " + dir.file("be.bin")),
            "1 1.5 3 abc 17 1 1.5 3 abc 17");
}

TEST(FilioLayout, WeReadWhatPythonStructWrites) {
  TempDir dir;
  const char *py =
      "import struct,sys\n"
      "for name, o in ((sys.argv[1], '<'), (sys.argv[2], '>')):\n"
      "    open(name, 'wb').write(struct.pack(o + 'bhHifdH', -5, -12345, 54321, -2000000000,\n"
      "        0.1, -2.718281828459045, 5) + b'hello' + struct.pack(o + 'H', 10) + b'0123456789X')\n";
  spit(dir.file("make.py"), py);
  run("python3 " + dir.file("make.py") + " " + dir.file("le.bin") + " " + dir.file("be.bin"));
  for (int order = 0; order < 2; order++) {
    SCOPED_TRACE(order);
    Reader r(dir.file(order ? "be.bin" : "le.bin"), 3);
    filio_set_byte_order(&r.f, order);
    // In order: byte, short, ushort, long, single (widened exactly), double.
    std::vector<double> got = {double(int8_t(filio_get_byte(&r.f))), double(filio_get_short(&r.f)),
                               double(filio_get_ushort(&r.f)), double(filio_get_long(&r.f)), filio_get_single(&r.f),
                               filio_get_double(&r.f)};
    EXPECT_EQ(got, (std::vector<double>{-5, -12345, 54321, -2000000000, double(0.1f), -2.718281828459045}));
    OwnedString s;
    filio_get_string(&r.f, &s);
    EXPECT_EQ(s.text(), "hello");
    char buf[4] = {};
    EXPECT_EQ(filio_get_carray(&r.f, buf, 4), 10);
    EXPECT_EQ(std::string(buf, 4) + char(filio_get_char(&r.f)), "0123X") << "the 6 that did not fit were skipped";
  }
}

TEST(FilioLayout, OrderIsResetByEveryOpenAndStringsCarryTheirOrder) {
  TempDir dir;
  IOfile f = {};
  filio_initialize(&f);
  filio_open_put(&f, 64, dir.file("a.bin").c_str());
  filio_set_byte_order(&f, 1);
  String empty = {};
  OwnedString abc("abc");
  filio_put_string(&f, &empty);
  filio_put_string(&f, &abc);
  filio_put_carray(&f, "xy");
  filio_close_put(&f);
  filio_open_put(&f, 64, dir.file("b.bin").c_str());
  EXPECT_EQ(f.swap, 0);
  filio_put_short(&f, -2);
  filio_put_text(&f, &abc);
  filio_put_line_0(&f, "L0");
  filio_put_line_1(&f, &abc);
  filio_put_single(&f, 1.0);
  filio_close_put(&f);
  EXPECT_EQ(run("od -An -tx1 " + dir.file("a.bin")), "00 00 00 03 61 62 63 00 02 78 79");
  EXPECT_EQ(run("od -An -tx1 " + dir.file("b.bin")), "fe ff 61 62 63 4c 30 0d 0a 61 62 63 0d 0a 00 00 80 3f");
  strings_free_0(&f.name);
}

// ---- Reading to the end ----------------------------------------------------------------

TEST(FilioEnd, ByteGivesZeroOnceThenCtrlZAndBlocksZeroFill) {
  TempDir dir;
  spit(dir.file("ab"), "ab");
  Reader r(dir.file("ab"), 2);
  std::vector<int> seen;
  for (int k = 0; k < 5; k++) seen.push_back(filio_get_byte(&r.f)), seen.push_back(filio_eof(&r.f));
  EXPECT_EQ(seen, (std::vector<int>{'a', 0, 'b', 0, 0, 1, 26, 1, 26, 1}));
  char block[6];
  memset(block, 'q', sizeof block);
  EXPECT_EQ(filio_get_block(&r.f, block, 6), 0);
  EXPECT_EQ(std::string(block, 6), std::string(6, '\0'));
  EXPECT_EQ(filio_get_file_pos(&r.f), 2);
}

// ---- Text lines --------------------------------------------------------------------------

namespace {
// All lines up to end of file, read with the given buffer size.
std::vector<std::string> lines_of(const std::string &path, int32_t size) {
  Reader r(path, size);
  std::vector<std::string> out;
  OwnedString d;
  for (int guard = 0; guard < 100 && !filio_eof(&r.f); guard++) {
    filio_get_line_1(&r.f, &d);
    out.push_back(d.text());
  }
  return out;
}
using Lines = std::vector<std::string>;
}  // namespace

TEST(FilioLines, EveryLineEndVariantAtEveryBufferSize) {
  TempDir dir;
  struct Case {
    const char *bytes;
    size_t n;
    Lines lines;
  } cases[] = {
      {"a\rb\n\n", 5, {"a", "b", "", ""}},           // lone CR, LF, empty line, then end
      {"one\r\ntwo\r\n", 10, {"one", "two", ""}},    // CR LF throughout
      {"one\ntwo", 7, {"one", "two"}},               // no final line end
      {"x\r\r\ny", 5, {"x", "", "y"}},               // CR, then CR LF: an empty line
      {"p\r", 2, {"p"}},                             // CR as the last byte
      {"p\r\x1aq\r\n", 6, {"p", ""}},                // Ctrl-Z ends the file
      {"r\x1a", 2, {"r"}},                           // Ctrl-Z right after text
      {"s\0t\n", 4, {"s", "t", ""}},                 // a NUL ends a line
      {"", 0, {""}},
  };
  for (const Case &c : cases) {
    spit(dir.file("t"), std::string(c.bytes, c.n));
    for (int32_t size = 1; size <= 8; size++) {
      SCOPED_TRACE(testing::Message() << "case " << &c - cases << " buffer " << size);
      EXPECT_EQ(lines_of(dir.file("t"), size), c.lines);
    }
  }
}

TEST(FilioLines, CarriageReturnAtEndOfFileStepsBackOverNothing) {
  TempDir dir;
  spit(dir.file("t"), "ab\r");
  for (int32_t size : {1, 3, 64}) {
    Reader r(dir.file("t"), size);
    OwnedString d;
    filio_get_line_1(&r.f, &d);
    EXPECT_EQ(d.text(), "ab");
    EXPECT_TRUE(filio_get_file_pos(&r.f) == 3 && filio_eof(&r.f)) << "buffer " << size;
    filio_get_line_1(&r.f, &d);
    EXPECT_EQ(d.s.length, 0);
  }
}

// A line longer than a String holds keeps its first 65535 characters and is marked;
// the next line reads normally and clears the mark.
TEST(FilioLines, OverlongLineIsCutAndMarked) {
  TempDir dir;
  spit(dir.file("t"), std::string(70000, 'w') + "\nnext\n");
  Reader r(dir.file("t"), 4096);
  OwnedString d;
  filio_get_line_1(&r.f, &d);
  EXPECT_TRUE(d.s.length == 65535 && r.f.error == FILIO_LINE_TOO_LONG);
  filio_get_line_1(&r.f, &d);
  EXPECT_TRUE(d.text() == "next" && r.f.error == 0);
}

TEST(FilioLines, LineIntoACharacterBuffer) {
  TempDir dir;
  spit(dir.file("t"), "abcdefg\r\nxy\n");
  Reader r(dir.file("t"), 4);
  char buf[5];
  memset(buf, '.', sizeof buf);
  EXPECT_EQ(filio_get_line_0(&r.f, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 5), "abcg.") << "characters past the end overwrite the last place";
  EXPECT_EQ(filio_get_line_0(&r.f, buf, 4), 2);
  EXPECT_EQ(std::string(buf, 2), "xy");
}

// ---- Writing, positions, seek and patch ----------------------------------------------------

TEST(FilioWrite, SeekBackOverwritesAndPatchLandsUnderWaitingBytes) {
  TempDir dir;
  IOfile f = {};
  filio_initialize(&f);
  filio_open_put(&f, 4, dir.file("w").c_str());
  filio_put_block(&f, "0123456789", 10);
  filio_seek_file(&f, 0);
  filio_put_block(&f, "ab", 2);
  EXPECT_EQ(filio_get_file_pos(&f), 2);
  filio_seek_file(&f, 10);
  // A header field patched after the body: the bytes around it are still waiting
  // in the buffer when the patch is asked for.
  filio_put_block(&f, "XY", 2);
  int32_t count = 0x01020304;
  filio_put_patch(&f, 3, &count, 4);
  filio_put_patch(&f, 10, "xy", 2);
  EXPECT_EQ(filio_get_file_pos(&f), 12) << "a patch does not move the writing position";
  filio_put_byte(&f, '!');
  filio_close_put(&f);
  EXPECT_EQ(run("od -An -c " + dir.file("w")), "a b 2 004 003 002 001 7 8 9 x y !");
  strings_free_0(&f.name);
}

TEST(FilioPosition, OffsetsPastTwoGigabytesStay64Bit) {
  TempDir dir;
  const int64_t far = (int64_t{3} << 30) + 5;
  IOfile f = {};
  filio_initialize(&f);
  filio_open_put(&f, 16, dir.file("big").c_str());
  filio_put_long(&f, 11);
  filio_seek_file(&f, far);  // a sparse file: the gap takes no disk space
  filio_put_long(&f, 77);
  EXPECT_EQ(filio_get_file_pos(&f), far + 4);
  EXPECT_EQ(fatal_stop([&] { filio_get_file_pos_1(&f); }), "File position beyond 2 GiB IN filio_get_file_pos_1");
  filio_close_put(&f);
  struct stat st;
  ASSERT_EQ(stat(dir.file("big").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, far + 4);
  Reader r(dir.file("big"), 16);
  EXPECT_EQ(filio_get_long(&r.f), 11);
  filio_seek_file(&r.f, far);
  EXPECT_EQ(filio_get_long(&r.f), 77);
  strings_free_0(&f.name);
}

// ---- Failures ----------------------------------------------------------------------------

// The exit code of fn run in a child process, or -1 when it has not finished within
// the seconds given (the child is then killed): an open that blocks fails the test
// instead of hanging it.
int in_child_within(int seconds, const std::function<int()> &fn) {
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  for (int waited = 0; waited < seconds * 100; waited++) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    usleep(10000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// Only regular files are read: a FIFO without a writer would block the open for ever
// and /dev/zero never ends; both are refused like a directory, at once.
TEST(FilioFail, PipesAndDevicesAreRefusedWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  for (std::string path : {dir.file("fifo"), std::string("/dev/zero")}) {
    int code = in_child_within(5, [&] {
      IOfile f = {};
      filio_initialize(&f);
      OwnedString name(path);
      return filio_open_get(&f, 16, &name) ? 1 : f.state == FILIO_CLOSED && !f.buffer ? 0 : 2;
    });
    EXPECT_EQ(code, 0) << path << (code < 0 ? ": the open blocked" : "");
  }
}

TEST(FilioFail, AMissingFileOrADirectoryIsNoErrorForReading) {
  TempDir dir;
  IOfile f = {};
  filio_initialize(&f);
  OwnedString missing(dir.file("missing")), folder(dir.file(""));
  for (const String *name : {&missing, &folder}) {
    EXPECT_FALSE(filio_open_get(&f, 16, name));
    EXPECT_TRUE(f.state == FILIO_CLOSED && f.buffer == nullptr);
  }
  strings_free_0(&f.name);
}

TEST(FilioFail, FatalStopsNameTheStateAndTheRoutine) {
  TempDir dir;
  spit(dir.file("r"), "x");
  IOfile f = {};
  filio_initialize(&f);
  EXPECT_EQ(fatal_stop([&] { filio_get_byte(nullptr); }), "NIL IOfile IN filio_get_byte_0");
  EXPECT_EQ(fatal_stop([&] { filio_get_byte(&f); }), "Illegal file state (0) IN filio_get_byte_0");
  OwnedString name(dir.file("r"));
  ASSERT_TRUE(filio_open_get(&f, 8, &name));
  EXPECT_EQ(fatal_stop([&] { filio_open_get(&f, 8, &name); }), "Illegal file state (1) IN filio_open_get_0");
  EXPECT_EQ(fatal_stop([&] { filio_put_byte(&f, 1); }), "Illegal file state (1) IN filio_put_block_0");
  f.kind = 1;
  EXPECT_EQ(fatal_stop([&] { filio_seek_file(&f, 0); }), "Illegal file kind IN filio_seek_file_0");
  f.kind = 0;
  filio_close_get(&f);
  EXPECT_NE(fatal_stop([&] { filio_open_put(&f, 8, dir.file("no/such/dir").c_str()); })
                .find("dir: No such file or directory IN filio_open_put_0"),
            std::string::npos);
  strings_free_0(&f.name);
}

TEST(FilioFail, DevFullReportsNoSpaceAndFreesTheRecord) {
  OwnedString full("/dev/full");
  for (int replace = 0; replace < 2; replace++) {
    SCOPED_TRACE(replace);
    IOfile f = {};
    filio_initialize(&f);
    EXPECT_EQ(fatal_stop([&] {
                // a device is written in place, never replaced
                replace ? filio_open_put_2(&f, 16, &full) : filio_open_put_1(&f, 16, &full);
                filio_put_block(&f, "0123456789", 10);
                filio_close_put(&f);
              }),
              "/dev/full: No space left on device IN filio_close_put_0");
    EXPECT_TRUE(f.state == FILIO_CLOSED && f.buffer == nullptr);
    strings_free_0(&f.name);
  }
}

TEST(FilioReplace, NewContentsReplaceTheTargetKeepingItsModeAndLinks) {
  TempDir dir;
  spit(dir.file("target"), "old contents\n");
  chmod(dir.file("target").c_str(), 0640);
  ASSERT_EQ(symlink("target", dir.file("link").c_str()), 0);
  OwnedString link(dir.file("link")), fresh(dir.file("fresh"));
  IOfile f = {};
  filio_initialize(&f);
  filio_open_put_2(&f, 4, &link);
  filio_put_line_0(&f, "new");
  EXPECT_EQ(slurp(dir.file("target")), "old contents\n") << "the target is untouched while writing";
  filio_close_put(&f);
  EXPECT_EQ(slurp(dir.file("target")), "new\r\n");
  struct stat st, lst;
  ASSERT_TRUE(lstat(dir.file("link").c_str(), &lst) == 0 && stat(dir.file("target").c_str(), &st) == 0);
  EXPECT_TRUE(S_ISLNK(lst.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  filio_open_put_2(&f, 4, &fresh);
  filio_put_line_0(&f, "x");
  filio_close_put(&f);
  EXPECT_EQ(slurp(dir.file("fresh")), "x\r\n");
  EXPECT_EQ(run("ls -A " + dir.path), "fresh link target") << "no temporary file is left";
  strings_free_0(&f.name);
}

// A write that fails part way (here the file-size limit of the process) is a fatal
// error, and the old file is still there, whole, with no temporary file beside it.
TEST(FilioReplace, FailedWriteLeavesTheTargetUntouched) {
  TempDir dir;
  spit(dir.file("target"), "precious\n");
  pid_t pid = fork();
  if (pid == 0) {
    HookScope hook;
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &lim);
    OwnedString name(dir.file("target"));
    IOfile f = {};
    filio_initialize(&f);
    int code = except_catch("home", [&] {
      filio_open_put_2(&f, 256, &name);
      for (int i = 0; i < 100; i++) filio_put_line_0(&f, "0123456789012345678901234567890123456789");
      filio_close_put(&f);
    });
    bool ok = code == EXCEPT_FATAL && strstr(fatal_message.text, "target: File too large IN filio_put_block_0") &&
              f.state == FILIO_CLOSED;
    if (!ok) fprintf(stderr, "code %d: %s\n", code, fatal_message.text);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(slurp(dir.file("target")), "precious\n");
  EXPECT_EQ(run("ls -A " + dir.path), "target");
}
