// Counted strings and string lists: storage, edits, order, hash, paths, lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "runtime/bopmem.h"
#include "runtime/strings.h"
#include "tests/runtime/fatal_stop.h"

namespace {

// A String that frees itself, for tests.
struct S {
  String s = {};
  S() = default;
  explicit S(const char *c) { strings_copyto_1(&s, c); }
  ~S() { strings_free_0(&s); }
  String *operator&() { return &s; }
  std::string str() const { return std::string(s.text ? s.text : "", s.length); }
};

}  // namespace

TEST(StringStorage, CapacityStepsOfEightBytesAndXmem) {
  int64_t before = XMEM;
  String a = {}, b = {};
  strings_copyto_0(&a, &b);  // empty into empty: storage appears
  EXPECT_EQ(a.length, 0);
  EXPECT_EQ(a.capacity, 7);
  EXPECT_STREQ(a.text, "");
  EXPECT_EQ(XMEM, before + 8);
  strings_copyto_1(&a, "1234567");
  EXPECT_EQ(a.capacity, 7);
  strings_append(&a, '8');  // full at 7: grows to 16 bytes
  EXPECT_EQ(a.capacity, 15);
  EXPECT_STREQ(a.text, "12345678");
  EXPECT_EQ(XMEM, before + 16);
  strings_set_length(&a, 3);  // storage never shrinks
  EXPECT_EQ(a.capacity, 15);
  EXPECT_STREQ(a.text, "123");
  strings_set_length(&a, 20);
  EXPECT_EQ(a.capacity, 23);
  EXPECT_EQ(a.length, 20);
  EXPECT_EQ(a.text[20], 0);
  strings_free_0(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_EQ(a.capacity, 0);
  EXPECT_EQ(XMEM, before);
}

TEST(StringStorage, CreatingTwiceIsFatal) {
  S a("x");
  EXPECT_EQ(fatal_stop([&] { strings_new_0(&a, 0, 4); }), "NEW STRING ALREADY ALLOCATED IN strings_new_0");
  StringList l = {};
  strings_new_1(&l, 0, 4);
  EXPECT_EQ(fatal_stop([&] { strings_new_1(&l, 0, 4); }), "NEW STRING ALREADY ALLOCATED IN strings_new_1");
  strings_free_1(&l, 1);
}

TEST(StringStorage, TextsPastTheSixteenBitLimitStopBeforeWrapping) {
  S a;
  std::string big(65535, 'q');
  strings_copyto_1(&a, big.c_str());
  EXPECT_EQ(a.s.length, 65535);
  EXPECT_EQ(a.s.capacity, 65535);
  EXPECT_EQ(fatal_stop([&] { strings_append(&a, 'r'); }), "STRING TOO LONG IN strings_append_0");
  EXPECT_EQ(a.s.length, 65535);  // untouched
  EXPECT_EQ(fatal_stop([&] { strings_insert_0(&a, &a, 1); }), "STRING TOO LONG IN strings_insert_0");
}

TEST(StringEdits, CopyAddInsertDelete) {
  S d, s("hello world");
  strings_copy(&d, &s, 7, 100);
  EXPECT_EQ(d.str(), "world");
  strings_copy(&d, &s, 12, 3);  // just past the end: empty
  EXPECT_EQ(d.str(), "");
  strings_copy(&d, &s, 1, 5);
  strings_addto_1(&d, ", ");
  strings_addto_0(&d, &d);  // appending to itself doubles the text
  EXPECT_EQ(d.str(), "hello, hello, ");
  S ins("big ");
  strings_insert_0(&s, &ins, 7);
  EXPECT_EQ(s.str(), "hello big world");
  strings_insert_0(&s, &ins, 16);  // at length + 1: appends
  EXPECT_EQ(s.str(), "hello big worldbig ");
  strings_insert_0(&s, &s, 1);
  EXPECT_EQ(s.str(), "hello big worldbig hello big worldbig ");
  strings_delete_0(&s, 20, 200);
  EXPECT_EQ(s.str(), "hello big worldbig ");
  strings_delete_0(&s, 6, 4);
  EXPECT_EQ(s.str(), "hello worldbig ");
  strings_delete_0(&s, 30, 1);  // past the end: nothing
  EXPECT_EQ(s.str(), "hello worldbig ");
}

TEST(StringEdits, CopyLineSplitsAtEveryKindOfLineEnd) {
  const char *buf = "first\r\nsecond\n\n\r\nthird\x01x\rlast";
  S d;
  uint32_t p = 1;
  std::vector<std::string> lines;
  std::vector<uint32_t> starts;
  while (buf[p - 1]) {
    p = strings_copyline(&d, buf, p);
    lines.push_back(d.str());
    starts.push_back(p);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third\x01x", "last"}));
  // The returned positions point at the next line's first character: 8 ("second"),
  // 18 ("third"), 26 ("last"), then 30, the NUL.
  EXPECT_EQ(starts, (std::vector<uint32_t>{8, 18, 26, 30}));
  EXPECT_EQ(strings_copyline(&d, buf, 30), 30u);
  EXPECT_EQ(d.str(), "");
  EXPECT_EQ(strings_copyline(&d, buf, 0), 8u);  // below 1 counts as 1
}

TEST(StringEdits, CopyLineGrowsInStepsAndStopsBeforeTheWrap) {
  S d;
  std::string line(40, 'k');
  EXPECT_EQ(strings_copyline(&d, (line + "\n").c_str(), 1), 42u);
  EXPECT_EQ(d.s.length, 40);
  std::string longest(65535, 'm');
  strings_copyline(&d, longest.c_str(), 1);
  EXPECT_EQ(d.s.length, 65535);
  std::string over(70000, 'n');
  EXPECT_EQ(fatal_stop([&] { strings_copyline(&d, over.c_str(), 1); }), "STRING TOO LONG IN strings_copyline_0");
}

TEST(StringOrder, LengthFirstThenUnsignedBytes) {
  S zz("ZZ"), aaa("AAA"), abc("abc"), ABC("ABC"), zz2("zz"), hi("\xe9t"), lo("zt");
  EXPECT_EQ(strings_compare_0(&zz, &aaa), -1);
  EXPECT_EQ(strings_compare_0(&aaa, &zz), 1);
  EXPECT_EQ(strings_compare_0(&abc, &zz2), 1);
  EXPECT_EQ(strings_compare_0(&abc, &ABC), 1);
  EXPECT_EQ(strings_compare_0(&abc, &abc), 0);
  EXPECT_EQ(strings_compare_0(&hi, &lo), 1) << "bytes compare unsigned";
  EXPECT_EQ(strings_compare_ul_0(&abc, &ABC), 0);
  EXPECT_LT(strings_compare_ul_0(&zz, &aaa), 0);
  S ab("AB");
  EXPECT_GT(strings_compare_ul_0(&zz2, &ab), 0);
  String empty = {};
  S empty2("");
  EXPECT_EQ(strings_compare_0(&empty, &empty2), 0);
  // C strings: the sign of strcmp, case-blind as strcasecmp in the "C" locale.
  const char *pairs[][2] = {{"abc", "abd"}, {"b", "abc"}, {"same", "same"}, {"", "x"}, {"\xe9", "e"}};
  for (auto &p : pairs) {
    int want = strcmp(p[0], p[1]);
    EXPECT_EQ(strings_compare_1(p[0], p[1]), (want > 0) - (want < 0)) << p[0] << " " << p[1];
  }
  EXPECT_EQ(strings_compare_ul_1("Hello", "hELLO"), 0);
  EXPECT_LT(strings_compare_ul_1("apple", "BANANA"), 0);
}

TEST(StringOrder, NameHash) {
  // Values worked out independently (python3) from h := 2h XOR byte, folded.
  EXPECT_EQ(strings_hashfn_1("a"), 97);
  EXPECT_EQ(strings_hashfn_1("ab"), 160);
  EXPECT_EQ(strings_hashfn_1(""), 0);
  EXPECT_EQ(strings_hashfn_1("TEMPERATURE"), 41732);
  EXPECT_EQ(strings_hashfn_1("BOUNDARIES"), 65021);
  EXPECT_EQ(strings_hashfn_1("abcdefghijklmnopqrstuvwxyz0123456789"), 7979);
  EXPECT_EQ(strings_hashfn_1("\xe9t\xe9"), 933);
  S s("TEMPERATURE");
  EXPECT_EQ(strings_hashfn_0(&s), 41732);
  String empty = {};
  EXPECT_EQ(strings_hashfn_0(&empty), 0);
}

TEST(StringPaths, SplitIntoDirectoryNameAndExtension) {
  struct Case {
    const char *path;
    char sep;
    const char *dir, *name, *ext;
  } cases[] = {
      {"C:\\runs\\plate.pde", '\\', "C:\\runs\\", "plate", ".pde"},
      {"plate", '/', "", "plate", ""},
      {"/home/u/runs/plate.pde   ", '/', "/home/u/runs/", "plate", ".pde"},
      {"d.x\\f", '\\', "d.x\\", "f", ""},
      {"d.x/f", '/', "d.x/", "f", ""},
      {"a/b.c.d", '/', "a/", "b.c", ".d"},
      {"C:name.txt", '\\', "C:", "name", ".txt"},
      {"dir/", '/', "dir/", "", ""},
      {".hidden", '/', "", "", ".hidden"},
      {"", '/', "", "", ""},
  };
  for (auto &c : cases) {
    S path(c.path), dir, name, ext;
    strings_stripname(&path, &dir, &name, &ext, static_cast<uint8_t>(c.sep));
    EXPECT_EQ(dir.str(), c.dir) << c.path;
    EXPECT_EQ(name.str(), c.name) << c.path;
    EXPECT_EQ(ext.str(), c.ext) << c.path;
  }
}

TEST(StringLists, GrowthAndXmem) {
  int64_t before = XMEM;
  StringList l = {};
  String s = {};
  strings_copyto_1(&s, "entry");
  std::vector<int32_t> caps;
  for (int i = 0; i < 40; i++) {
    strings_one_more(&l, &s);
    if (caps.empty() || caps.back() != l.capacity) caps.push_back(l.capacity);
  }
  EXPECT_EQ(caps, (std::vector<int32_t>{10, 22, 37, 56}));
  EXPECT_EQ(l.count, 40);
  // An entry's own text can be appended even while the slots move.
  l.count = l.capacity;
  EXPECT_EQ(strings_one_more(&l, &l.items[0]), 57);
  EXPECT_STREQ(l.items[56].text, "entry");
  strings_free_1(&l, 1);
  strings_free_0(&s);
  EXPECT_EQ(l.items, nullptr);
  EXPECT_EQ(l.count, 0);
  EXPECT_EQ(l.capacity, 0);
  EXPECT_EQ(XMEM, before);
}

TEST(StringLists, EnlistUnlistDelete) {
  StringList l = {};
  S x("x"), y("y"), z("z"), w("w");
  EXPECT_EQ(strings_enlist(&l, &x), 1);
  EXPECT_EQ(strings_enlist(&l, &y), 2);
  EXPECT_EQ(strings_enlist(&l, &z), 3);
  EXPECT_EQ(strings_enlist(&l, &y), 2);
  strings_unlist(&l, &y);
  EXPECT_EQ(l.count, 3);
  EXPECT_EQ(l.items[1].length, 0);
  EXPECT_EQ(strings_enlist(&l, &y), 2) << "the freed place is reused";
  strings_unlist(&l, &y);
  EXPECT_EQ(strings_enlist(&l, &w), 2);
  strings_delete_1(&l, &x);
  EXPECT_EQ(l.count, 2);
  EXPECT_STREQ(l.items[0].text, "w");
  EXPECT_STREQ(l.items[1].text, "z");
  strings_delete_index(&l, 5);  // beyond the count: nothing
  EXPECT_EQ(l.count, 2);
  strings_delete_index(&l, 2);
  EXPECT_EQ(l.count, 1);
  EXPECT_STREQ(l.items[0].text, "w");
  StringList c = {};
  strings_copyto_2(&c, &l);
  EXPECT_EQ(c.count, 1);
  EXPECT_STREQ(c.items[0].text, "w");
  EXPECT_NE(c.items[0].text, l.items[0].text);
  strings_copyto_3(&l, &z);
  EXPECT_STREQ(l.items[0].text, "z");
  strings_free_1(&c, 1);
  strings_free_1(&l, 1);
}

// Sorted insertion and the sort agree with an independent sort by (length, bytes).
TEST(StringLists, SortedInsertionAndSortFollowTheSystemOrder) {
  std::mt19937 rng(12345);
  std::vector<std::string> words;
  for (int i = 0; i < 300; i++) {
    std::string w;
    int n = 1 + rng() % 6;
    for (int k = 0; k < n; k++) w += static_cast<char>("AZaz~\xe9"[rng() % 6]);
    words.push_back(w);
  }
  auto order = [](const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return a.size() < b.size();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
  };
  std::vector<std::string> want = words;
  std::sort(want.begin(), want.end(), order);
  std::vector<std::string> unique = want;
  unique.erase(std::unique(unique.begin(), unique.end()), unique.end());

  StringList ins = {}, all = {};
  for (auto &w : words) {
    S s(w.c_str());
    strings_insert_1(&ins, &s);
    strings_one_more(&all, &s);
  }
  strings_sort(&all);
  ASSERT_EQ(ins.count, static_cast<int32_t>(unique.size()));
  for (size_t k = 0; k < unique.size(); k++) EXPECT_EQ(std::string(ins.items[k].text), unique[k]);
  ASSERT_EQ(all.count, static_cast<int32_t>(want.size()));
  for (size_t k = 0; k < want.size(); k++) EXPECT_EQ(std::string(all.items[k].text), want[k]);
  strings_free_1(&ins, 1);
  strings_free_1(&all, 1);
}

TEST(StringLists, DebugListing) {
  StringList l = {};
  S a("alpha"), b("beta");
  strings_one_more(&l, &a);
  strings_one_more(&l, &b);
  EXPECT_EQ(listing([&](FILE *f) { strings_print_7(f, &l, "NAMES"); }), "\n        NAMES\n    2 | alpha\n    3 | beta\n");
  EXPECT_EQ(listing([&](FILE *f) {
              strings_printline_0(f, &a);
              strings_print_0(f, &b);
            }),
            "alpha\nbeta");
  strings_free_1(&l, 1);
}
