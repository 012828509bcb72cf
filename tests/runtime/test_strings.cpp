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

using S = OwnedString;

TEST(StringStorage, CapacityStepsOfEightBytesAndXmem) {
  int64_t before = XMEM;
  String a = {}, b = {};
  // "length/capacity/bytes counted": storage for n characters is (n + 8) & ~7 bytes.
  auto state = [&] { return std::to_string(a.length) + "/" + std::to_string(a.capacity) + "/" + std::to_string(XMEM - before); };
  strings_copyto_0(&a, &b);  // empty into empty: storage appears
  EXPECT_EQ(state(), "0/7/8");
  strings_copyto_1(&a, "1234567");
  EXPECT_EQ(state(), "7/7/8");
  strings_append(&a, '8');
  EXPECT_EQ(state(), "8/15/16");
  EXPECT_STREQ(a.text, "12345678");
  strings_set_length(&a, 3);  // storage never shrinks
  EXPECT_EQ(state(), "3/15/16");
  strings_set_length(&a, 20);
  EXPECT_EQ(state(), "20/23/24");
  EXPECT_EQ(a.text[20], 0);
  strings_free_0(&a);
  EXPECT_EQ(state(), "0/0/0");
}

TEST(StringStorage, FatalStops) {
  S a("x");
  EXPECT_EQ(fatal_stop([&] { strings_new_0(&a, 0, 4); }), "NEW STRING ALREADY ALLOCATED IN strings_new_0");
  StringList l = {};
  strings_new_1(&l, 0, 4);
  EXPECT_EQ(fatal_stop([&] { strings_new_1(&l, 0, 4); }), "NEW STRING ALREADY ALLOCATED IN strings_new_1");
  strings_free_1(&l, 1);
  // Texts past the 16-bit limit stop before the length wraps.
  strings_copyto_1(&a, std::string(65535, 'q').c_str());
  EXPECT_EQ(fatal_stop([&] { strings_append(&a, 'r'); }), "STRING TOO LONG IN strings_append_0");
  EXPECT_EQ(a.s.length, 65535);  // untouched
  EXPECT_EQ(fatal_stop([&] { strings_insert_0(&a, &a, 1); }), "STRING TOO LONG IN strings_insert_0");
  S d;
  EXPECT_EQ(fatal_stop([&] { strings_copyline(&d, std::string(70000, 'n').c_str(), 1); }),
            "STRING TOO LONG IN strings_copyline_0");
}

TEST(StringEdits, CopyAddInsertDelete) {
  S d, s("hello world"), ins("big ");
  strings_copy(&d, &s, 7, 100);
  EXPECT_EQ(d.text(), "world");
  strings_copy(&d, &s, 1, 5);
  strings_addto_1(&d, ", ");
  strings_addto_0(&d, &d);  // appending to itself doubles the text
  EXPECT_EQ(d.text(), "hello, hello, ");
  strings_insert_0(&s, &ins, 7);
  strings_insert_0(&s, &ins, 16);  // at length + 1: appends
  EXPECT_EQ(s.text(), "hello big worldbig ");
  strings_insert_0(&s, &s, 1);
  EXPECT_EQ(s.text(), "hello big worldbig hello big worldbig ");
  strings_delete_0(&s, 20, 200);
  strings_delete_0(&s, 6, 4);
  strings_delete_0(&s, 30, 1);  // past the end: nothing
  EXPECT_EQ(s.text(), "hello worldbig ");
}

TEST(StringEdits, CopyLineSplitsAtEveryKindOfLineEnd) {
  const char *buf = "first\r\nsecond\n\n\r\nthird\x01x\rlast";
  S d;
  uint32_t p = 1;
  std::vector<std::string> lines;
  std::vector<uint32_t> starts;
  while (buf[p - 1]) {
    p = strings_copyline(&d, buf, p);
    lines.push_back(d.text());
    starts.push_back(p);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third\x01x", "last"}));
  // The returned positions point at the next line's first character: 8 ("second"),
  // 18 ("third"), 26 ("last"), then 30, the NUL.
  EXPECT_EQ(starts, (std::vector<uint32_t>{8, 18, 26, 30}));
  EXPECT_EQ(strings_copyline(&d, buf, 0), 8u);  // below 1 counts as 1
}

TEST(StringOrder, LengthFirstThenUnsignedBytes) {
  const struct {
    const char *a, *b;
    int exact, blind;
  } cases[] = {
      {"ZZ", "AAA", -1, -1}, {"abc", "zz", 1, 1}, {"abc", "ABC", 1, 0},
      {"abc", "abc", 0, 0},  {"\xe9t", "zt", 1, 1},  // bytes compare unsigned
      {"zz", "AB", 1, 1},    {"", "", 0, 0},
  };
  for (const auto &c : cases) {
    S a(c.a), b(c.b);
    EXPECT_EQ(strings_compare_0(&a, &b), c.exact) << c.a << " " << c.b;
    EXPECT_EQ((strings_compare_ul_0(&a, &b) > 0) - (strings_compare_ul_0(&a, &b) < 0), c.blind) << c.a << " " << c.b;
  }
  // C strings: the sign of strcmp, case-blind as strcasecmp in the "C" locale.
  const char *pairs[][2] = {{"abc", "abd"}, {"b", "abc"}, {"same", "same"}, {"", "x"}, {"\xe9", "e"}, {"Hello", "hELLO"}};
  for (auto &p : pairs) {
    int want = strcmp(p[0], p[1]), blind = strcasecmp(p[0], p[1]);
    EXPECT_EQ(strings_compare_1(p[0], p[1]), (want > 0) - (want < 0)) << p[0] << " " << p[1];
    EXPECT_EQ(strings_compare_ul_1(p[0], p[1]) > 0, blind > 0) << p[0] << " " << p[1];
  }
}

TEST(StringOrder, NameHash) {
  // Values worked out independently (python3) from h := 2h XOR byte, folded.
  const std::pair<const char *, int> cases[] = {{"a", 97}, {"ab", 160}, {"", 0}, {"TEMPERATURE", 41732},
                                                {"BOUNDARIES", 65021}, {"abcdefghijklmnopqrstuvwxyz0123456789", 7979},
                                                {"\xe9t\xe9", 933}};
  for (auto [text, hash] : cases) {
    S s(text);
    EXPECT_EQ(strings_hashfn_1(text), hash) << text;
    EXPECT_EQ(strings_hashfn_0(&s), hash) << text;
  }
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
      {"d.x/f", '/', "d.x/", "f", ""},
      {"a/b.c.d", '/', "a/", "b.c", ".d"},
      {"C:name.txt", '\\', "C:", "name", ".txt"},
      {".hidden", '/', "", "", ".hidden"},
      {"", '/', "", "", ""},
  };
  for (auto &c : cases) {
    S path(c.path), dir, name, ext;
    strings_stripname(&path, &dir, &name, &ext, static_cast<uint8_t>(c.sep));
    EXPECT_EQ(dir.text() + "|" + name.text() + "|" + ext.text(), std::string(c.dir) + "|" + c.name + "|" + c.ext);
  }
}

TEST(StringLists, GrowthAndXmem) {
  int64_t before = XMEM;
  StringList l = {};
  String s = {};
  strings_copyto_1(&s, "entry");
  std::vector<int32_t> caps;  // capacity x 5/4 + 10
  for (int i = 0; i < 40; i++) {
    strings_one_more(&l, &s);
    if (caps.empty() || caps.back() != l.capacity) caps.push_back(l.capacity);
  }
  EXPECT_EQ(caps, (std::vector<int32_t>{10, 22, 37, 56}));
  // An entry's own text can be appended even while the slots move.
  l.count = l.capacity;
  EXPECT_EQ(strings_one_more(&l, &l.items[0]), 57);
  EXPECT_STREQ(l.items[56].text, "entry");
  strings_free_1(&l, 1), strings_free_0(&s);
  EXPECT_EQ(XMEM, before);
}

TEST(StringLists, EnlistUnlistDelete) {
  StringList l = {}, c = {};
  S x("x"), y("y"), z("z"), w("w");
  EXPECT_EQ(strings_enlist(&l, &x) * 1000 + strings_enlist(&l, &y) * 100 + strings_enlist(&l, &z) * 10 +
                strings_enlist(&l, &y), 1232);
  strings_unlist(&l, &y);
  EXPECT_EQ(strings_enlist(&l, &w), 2) << "the freed place is reused";
  strings_delete_1(&l, &x);
  strings_delete_index(&l, 5);  // beyond the count: nothing
  strings_copyto_2(&c, &l);
  ASSERT_EQ(c.count, 2);
  EXPECT_EQ(std::string(c.items[0].text) + c.items[1].text, "wz");
  EXPECT_NE(c.items[0].text, l.items[0].text);
  strings_free_1(&c, 1), strings_free_1(&l, 1);
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
  auto texts = [](const StringList &l) {
    std::vector<std::string> v;
    for (int k = 0; k < l.count; k++) v.push_back(l.items[k].text);
    return v;
  };
  EXPECT_EQ(texts(ins), unique);
  EXPECT_EQ(texts(all), want);
  strings_free_1(&ins, 1), strings_free_1(&all, 1);
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
