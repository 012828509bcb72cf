// In-memory text files: the character stream, line-end variants, the table, seek,
// extract and replace, windows that roll, writing back safely, TextLoc vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/textin.h"
#include "tests/runtime/fatal_stop.h"

namespace {

using Str = OwnedString;

// The stream of characters up to and including the first 0 (or limit characters).
std::vector<int> stream(uint16_t n, size_t limit = 1000) {
  std::vector<int> out;
  while (out.size() < limit) {
    int c = textin_next_char(n);
    out.push_back(c);
    if (c == 0) break;
  }
  return out;
}

std::vector<std::string> body(uint16_t n) {
  std::vector<std::string> out;
  StringList *l = textin_text_body(n);
  for (int32_t k = 0; k < l->count; k++) out.emplace_back(l->items[k].text, l->items[k].length);
  return out;
}

uint16_t open_bytes(const TempDir &dir, const std::string &bytes, uint8_t echo = 0) {
  spit(dir.file("t.pde"), bytes);
  Str name(dir.file("t.pde"));
  return textin_open_text(&name, echo);
}

using Ints = std::vector<int>;
using Lines = std::vector<std::string>;

}  // namespace

// ---- The character stream -------------------------------------------------------------

TEST(TextinStream, EmptyAndTrailingLinesAreSkippedAndEachLineEndsWith13) {
  TempDir dir;
  uint16_t n = open_bytes(dir, "ab\r\n\r\nc\r\n");
  ASSERT_NE(n, 0);
  EXPECT_EQ(stream(n), (Ints{'a', 'b', 13, 'c', 13, 0}));
  EXPECT_EQ(textin_next_char(n), 0) << "the end stays the end";
  textin_reset_text(n);
  EXPECT_EQ(stream(n), (Ints{'a', 'b', 13, 'c', 13, 0}));
  textin_close_text(n);
  // Line ends are the reader's (tested there at every buffer size); here the text's
  // own rule: trailing empty lines leave no line, and a file of empty lines has none.
  for (const char *v : {"first\r\n\r\nthird\r\n\r\n\n", "first\n\nthird"}) {
    uint16_t n = open_bytes(dir, v);
    EXPECT_EQ(body(n), (Lines{"first", "", "third"}));
    EXPECT_EQ(textin_text_name(n)->last_read, 3u);
    textin_close_text(n);
  }
  n = open_bytes(dir, "\r\n\n\r\n");
  EXPECT_EQ(textin_text_body(n)->count, 0);
  EXPECT_EQ(textin_next_char(n), 0);
  textin_close_text(n);
}

// ---- The table ---------------------------------------------------------------------------

TEST(TextinTable, NumbersFrom1ClosedEntriesReusedAndMacroStateReset) {
  TempDir dir;
  spit(dir.file("a"), "a\n");
  Str a(dir.file("a")), missing(dir.file("missing"));
  uint16_t n1 = textin_open_text(&a, 0);
  uint16_t n2 = textin_create_text_0(&a, 0);
  EXPECT_GE(n1, 1);
  EXPECT_EQ(n2, n1 + 1);
  TextFile *t = textin_text_name(n1);
  t->macro_pos[0] = 7;
  t->macro_pos[1] = 9;
  t->expanded_count = 3;
  strings_copyto_1(&t->expanded, "expanded text");
  textin_close_text(n1);
  Str got;
  textin_textfile_name(&got, n1);
  EXPECT_EQ(got.text(), dir.file("a")) << "the name is kept after close";
  EXPECT_EQ(textin_open_text(&missing, 0), 0);
  uint16_t n3 = textin_open_text(&a, 0);
  EXPECT_EQ(n3, n1) << "the closed entry is taken again";
  t = textin_text_name(n3);
  EXPECT_EQ((std::vector<int>{t->macro_pos[0], t->macro_pos[1], int(t->expanded.length), int(t->expanded_count), t->open}),
            (std::vector<int>{1, 1, 0, 0, 1}));
  for (uint16_t bad : {0, 65000}) {
    textin_textfile_name(&got, bad);
    EXPECT_EQ(got.text(), "!!!");
  }
  EXPECT_EQ(textin_text_body(0), nullptr);
  EXPECT_EQ(textin_next_char(65000), 0);
  textin_close_text(n3), textin_close_text(n2);
}

// ---- Locations: seek, extract, replace --------------------------------------------------

TEST(TextinLocation, ExtractAcrossALineEndAndSeekBack) {
  TempDir dir;
  uint16_t n = open_bytes(dir, "line one\nline two\nthe third line of the text\nfourth line\n");
  TextLoc from = {}, to = {};
  for (int i = 0; i < 9 + 9; i++) textin_next_char(n);
  textin_next_char(n);  // the first character of line 3
  for (int i = 1; i < 19; i++) textin_next_char(n);
  textin_textloc(&from, n);
  EXPECT_EQ((Ints{from.file, int(from.line), from.column}), (Ints{n, 3, 20}));
  to = {n, 5, 4};
  Str d;
  textin_extract_0(&d, &from, &to);
  EXPECT_EQ(d.text(), std::string("the third line of the text").substr(19) + " four");
  TextLoc other = {static_cast<uint16_t>(n + 1), 1, 1};
  textin_extract_0(&d, &from, &other);
  EXPECT_EQ(d.s.length, 0) << "locations in two files give nothing";
  textin_text_seek(&from);
  EXPECT_EQ(textin_next_char(n), 'h');
  textin_extract_1(&d, n, 2);
  EXPECT_EQ(d.text(), "line two");
  Str repl("LINE 2");
  textin_replace(n, 2, &repl);
  TextLoc two = {n, 1, 2};
  textin_text_seek(&two);
  EXPECT_EQ(stream(n, 3), (Ints{'L', 'I', 'N'}));
  TextLoc far = {n, 1, 9};
  EXPECT_EQ(fatal_stop([&] { textin_extract_1(&d, n, 5); }), "EXTRACT outside buffer. IN textin_extract_1");
  EXPECT_EQ(fatal_stop([&] { textin_replace(n, 0, &repl); }), "REPLACE outside buffer. IN textin_replace_0");
  EXPECT_EQ(fatal_stop([&] { textin_text_seek(&far); }), "SEEK outside buffer. IN textin_text_seek_0");
  textin_close_text(n);
}

// ---- Windows ------------------------------------------------------------------------------

TEST(TextinWindow, RollKeepsFiveLinesAndExtractsAcrossTheRoll) {
  TempDir dir;
  std::string text;
  std::vector<std::string> lines;
  for (int i = 1; i <= 47; i++) {
    lines.push_back(i % 7 == 0 ? "" : "row" + std::to_string(i) + " " + std::string(i % 5, '*'));
    text += lines.back() + "\r\n";
  }
  spit(dir.file("data"), text);
  Str name(dir.file("data"));
  uint16_t n = textin_open_text_window(&name, 0, 10);
  TextFile *t = textin_text_name(n);
  EXPECT_EQ(t->incomplete * 100 + t->lines.capacity, 110);
  // Walk to the start of line 9 and keep its location.
  while (t->line < 9) textin_next_char(n);
  textin_next_char(n);
  textin_next_char(n);
  TextLoc from;
  textin_textloc(&from, n);
  while (t->line < 12) textin_next_char(n);
  EXPECT_EQ(t->base * 100 + t->last_read, 515u) << "rolled once: lines 6 to 10 kept, 11 to 15 read";
  TextLoc to;
  textin_textloc(&to, n);
  Str d;
  textin_extract_0(&d, &from, &to);
  std::string want = lines[8].substr(3) + " " + lines[9] + " " + lines[10] + " " + lines[11].substr(0, 1);
  EXPECT_EQ(d.text(), want);
  // Every line of the file comes through, in order, with file line numbers.
  textin_text_seek(&from);
  std::string seen;
  for (int c; (c = textin_next_char(n)) != 0;) seen += c == 13 ? '\n' : static_cast<char>(c);
  std::string rest = lines[8].substr(3) + "\n";
  for (size_t i = 9; i < lines.size(); i++)
    if (!lines[i].empty()) rest += lines[i] + "\n";
  EXPECT_EQ(seen, rest);
  EXPECT_EQ(t->incomplete * 100 + t->last_read, 47u);
  EXPECT_EQ(fatal_stop([&] { textin_text_seek(&from); }), "SEEK outside buffer. IN textin_text_seek_0");
  textin_close_text(n);
}

TEST(TextinWindow, APartOfAFileIsNeverWrittenBack) {
  TempDir dir;
  std::string text;
  for (int i = 1; i <= 30; i++) text += std::to_string(i) + "\r\n";
  spit(dir.file("data"), text);
  Str name(dir.file("data"));
  uint16_t n = textin_open_text_window(&name, 0, 10);
  EXPECT_EQ(fatal_stop([&] { textin_write_text_0(n); }), "WRITE outside buffer. IN textin_write_text_1");
  while (textin_text_name(n)->line < 20) textin_next_char(n);
  Str copy(dir.file("copy"));
  EXPECT_EQ(fatal_stop([&] { textin_copy_text(n, &copy); }), "WRITE outside buffer. IN textin_copy_text_0");
  EXPECT_EQ(slurp(dir.file("data")), text);
  EXPECT_EQ(slurp(dir.file("copy")), "<missing>");
  EXPECT_EQ(textin_next_char(n), '0') << "the window reads on";
  textin_close_text(n);
}

// ---- More than 65535 lines ------------------------------------------------------------------

TEST(TextinLong, SeventyThousandLinesOpenWholeAndWriteBackIntact) {
  TempDir dir;
  std::string text;
  for (int i = 1; i <= 70000; i++) text += "L" + std::to_string(i) + "\r\n";
  spit(dir.file("long.pde"), text);
  Str name(dir.file("long.pde"));
  uint16_t n = textin_open_text(&name, 0);
  EXPECT_EQ(textin_text_body(n)->count, 70000);
  Str last;
  textin_extract_1(&last, n, 70000);
  EXPECT_EQ(last.text(), "L70000");
  TextLoc far = {n, 2, 69999};
  textin_text_seek(&far);
  EXPECT_EQ(stream(n, 6), (Ints{'6', '9', '9', '9', '9', 13}));
  textin_write_text_0(n);
  EXPECT_EQ(slurp(dir.file("long.pde")), text);
  textin_close_text(n);
}

// ---- Writing ----------------------------------------------------------------------------------

// Lines are written with CR LF; a save takes the new name, a copy does not; a write
// the disk refuses is reported and leaves the text and the shared writer usable.
TEST(TextinWrite, LinesEndCrLfNamesAndRefusedWrites) {
  TempDir dir;
  uint16_t n = open_bytes(dir, "alpha\nbeta\n\ngamma");
  Str copy(dir.file("copy.txt")), saved(dir.file("saved.pde")), full("/dev/full"), got;
  textin_copy_text(n, &copy);
  textin_textfile_name(&got, n);
  std::string names = got.text() + "|";
  textin_write_text_1(n, &saved);
  textin_textfile_name(&got, n);
  EXPECT_EQ(names + got.text(), dir.file("t.pde") + "|" + dir.file("saved.pde"));
  EXPECT_EQ(slurp(dir.file("copy.txt")), "alpha\r\nbeta\r\n\r\ngamma\r\n");
  EXPECT_EQ(slurp(dir.file("saved.pde")), slurp(dir.file("copy.txt")));
  EXPECT_EQ(fatal_stop([&] { textin_copy_text(n, &full); }), "/dev/full: No space left on device IN filio_close_put_0");
  EXPECT_EQ(body(n), (Lines{"alpha", "beta", "", "gamma"}));
  textin_copy_text(n, &copy);
  EXPECT_EQ(slurp(dir.file("copy.txt")), "alpha\r\nbeta\r\n\r\ngamma\r\n");
  textin_close_text(n);
}

// ---- Reports while a text is read --------------------------------------------------------

// A line too long for a String is reported at its place in the file, the text being
// opened is closed and the reader released, so the next open works.
TEST(TextinReport, OverlongLineIsReportedWhereItStands) {
  TempDir dir;
  spit(dir.file("long.pde"), "one\ntwo\n" + std::string(66000, 'x') + "\nfour\n");
  spit(dir.file("okay.pde"), "fine\n");
  Str name(dir.file("long.pde")), ok(dir.file("okay.pde"));
  uint16_t n = textin_open_text(&ok, 0);  // an entry whose name takes the same storage
  textin_close_text(n);
  static TextLoc where;
  static std::string said, line;
  textin_set_report([](const TextLoc *loc, const String *message) {
    where = *loc;
    said = message->text;
    Str d;
    textin_extract_1(&d, loc->file, loc->line);  // the line is there to show
    line = d.text();
    except_jump(EXCEPT_REPORTED);
  });
  int64_t before = XMEM;
  EXPECT_EQ(fatal_stop([&] { textin_open_text(&name, 0); }), "jump 11");
  textin_set_report(nullptr);
  EXPECT_EQ(said, "Line longer than 65535 characters");
  EXPECT_EQ(where.line * 10 + where.column, 31u);
  EXPECT_EQ(line, std::string(65535, 'x'));
  EXPECT_EQ(textin_text_name(where.file)->open, 0);
  EXPECT_EQ(XMEM, before) << "the lines read so far and the reader's buffer are released";
  // Without a hook the runtime log gets the located line.
  {
    HookScope hook;
    LogCapture log;
    EXPECT_EQ(except_catch("home", [&] { textin_open_text(&name, 0); }), EXCEPT_REPORTED);
    EXPECT_NE(log.text().find("long.pde: line 3: Line longer than 65535 characters"), std::string::npos);
  }
  // A text given in memory (the editor's) is read the same way.
  {
    HookScope hook;
    LogCapture log;
    std::string text = "one\r\ntwo\n" + std::string(65536, 'z') + "\nfour\n";
    Str none("");
    int64_t held = XMEM;
    EXPECT_EQ(except_catch("home", [&] { textin_preset_text(&none, 0, text.c_str()); }), EXCEPT_REPORTED);
    EXPECT_NE(log.text().find(": line 3: Line longer than 65535 characters"), std::string::npos) << log.text();
    EXPECT_LE(XMEM, held) << "the lines taken so far are released";
  }
  n = textin_open_text(&ok, 0);
  ASSERT_NE(n, 0);
  EXPECT_EQ(body(n), (Lines{"fine"}));
  textin_close_text(n);
  // A window meeting the long line releases the window reader.
  std::string rows;
  for (int i = 0; i < 20; i++) rows += "r\n";
  spit(dir.file("win"), rows + std::string(66000, 'y') + "\n");
  Str win(dir.file("win"));
  n = textin_open_text_window(&win, 0, 10);
  EXPECT_EQ(fatal_stop([&] { stream(n); }), "jump 11");
  EXPECT_EQ(textin_text_name(n)->incomplete, 0);
  textin_close_text(n);
  n = textin_open_text_window(&ok, 0, 10);
  EXPECT_EQ(stream(n), (Ints{'f', 'i', 'n', 'e', 13, 0}));
  textin_close_text(n);
}

// Memory running out while a text is read (the process's address space limited, a
// file of endless empty lines) stops the command and releases the reader: the
// next open works.
TEST(TextinReport, MemoryFailureWhileReadingReleasesTheReader) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator does not run under an address-space limit";
#endif
  TempDir dir;
  spit(dir.file("small"), "small\n");
  ASSERT_EQ(truncate(dir.file("small").c_str(), 6), 0);
  FILE *big = fopen(dir.file("big").c_str(), "wb");
  fclose(big);
  ASSERT_EQ(truncate(dir.file("big").c_str(), 1LL << 30), 0);  // sparse: a billion NULs, each a line end
  pid_t pid = fork();
  if (pid == 0) {
    Str small(dir.file("small")), huge(dir.file("big"));
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (!statm || fscanf(statm, "%ld", &pages) != 1) _exit(3);
    fclose(statm);
    struct rlimit lim;
    lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (200 << 20);
    setrlimit(RLIMIT_AS, &lim);
    bool stopped = fatal_stop([&] { textin_open_text(&huge, 0); }) == "MEMORY OVERFLOW";
    uint16_t n = textin_open_text(&small, 0);
    _exit(!stopped ? 1 : n && body(n) == Lines{"small"} ? 0 : 2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A text created under the name of a table entry keeps that name when the table
// grows under it.
TEST(TextinTable, NameTakenFromTheTableSurvivesItsGrowth) {
  Str first("first text");
  uint16_t a = textin_create_text_0(&first, 0);
  std::vector<uint16_t> made = {a};
  // Fill the table to its capacity, so that the next entry moves it.
  while (textin_text_name(made.back() + 1) || made.size() < 2) made.push_back(textin_create_text_0(&first, 0));
  for (int k = 0; k < 8; k++) {
    uint16_t n = textin_create_text_0(&textin_text_name(a)->name, 0);
    made.push_back(n);
    Str got;
    textin_textfile_name(&got, n);
    EXPECT_EQ(got.text(), "first text");
  }
  for (uint16_t n : made) textin_close_text(n);
}

// ---- Cursor edges --------------------------------------------------------------------------

TEST(TextinCursor, PeekUngetAndSeekToColumnZero) {
  TempDir dir;
  uint16_t n = open_bytes(dir, "abc\nde\n");
  EXPECT_EQ((Ints{textin_peek_char(n, 0), textin_peek_char(n, 2), textin_peek_char(n, 3)}), (Ints{'a', 'c', 13}))
      << "k = 0 is the next character";
  textin_unget(n);
  EXPECT_EQ(textin_text_name(n)->column, 1u) << "never below column 1";
  textin_next_char(n);
  EXPECT_EQ(textin_peek_char(n, 1), 'c');
  textin_next_char(n);
  textin_unget(n);
  EXPECT_EQ(textin_next_char(n), 'b');
  TextLoc zero = {n, 0, 2};
  textin_text_seek(&zero);
  EXPECT_EQ(textin_next_char(n), 'd') << "column 0 is read as 1";
  textin_close_text(n);
}

// ---- Echo -------------------------------------------------------------------------------------

// Each line reached goes to the echo stream once, as "%5d| text", numbered by file
// line; windows never echo; only the first stream given counts.
TEST(TextinEcho, LinesAreEchoedNumberedAndWindowsStaySilent) {
  TempDir dir;
  FILE *echo = tmpfile(), *other = tmpfile();
  textin_text_echo(echo);
  textin_text_echo(other);
  uint16_t n = open_bytes(dir, "first\n\nthird\n", 1);
  stream(n);
  Str win(dir.file("t.pde"));
  uint16_t w = textin_open_text_window(&win, 1, 10);
  stream(w);
  fflush(echo);
  rewind(echo);
  EXPECT_EQ(slurp_stream(echo), "    1| first\n    2| \n    3| third\n");
  fflush(other);
  EXPECT_EQ(ftell(other), 0);
  textin_close_text(w), textin_close_text(n);
}

// ---- TextLoc vectors ----------------------------------------------------------------------------

TEST(TextinLocs, GrowByEightKeepEntriesAndStopOnADoubleNew) {
  TextLocVector v = {};
  int64_t before = XMEM;
  textin_new(&v, 0, 0);
  for (uint16_t k = 1; k <= 9; k++) {
    TextLoc loc = {k, static_cast<uint16_t>(k + 1), k * 10u};
    EXPECT_EQ(textin_one_more(&v, &loc), k);
    EXPECT_EQ(v.capacity, k <= 8 ? 8 : 16);
  }
  textin_resize(&v, 3, 40);
  EXPECT_EQ((Ints{v.capacity, int(v.data[2].line), v.data[2].column}), (Ints{40, 30, 4}));
  EXPECT_EQ(fatal_stop([&] { textin_new(&v, 1, 1); }), "VECTOR NOT EMPTY IN textin_new_0");
  textin_free(&v);
  EXPECT_EQ(v.count + v.capacity, 0);
  EXPECT_EQ(XMEM, before);
}
