// The tokenizer with the macro layer off and on, and the macro layer's expansions.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "runtime/textin.h"
#include "tests/tempfiles.h"

namespace {

struct Stop {
  std::string what;
};

// The error hook: the message and its place, as "!message@line:column".
void stop_hook(TextLoc *loc, String *message) {
  throw Stop{"!" + std::string(message->text) + "@" + std::to_string(loc->line) + ":" + std::to_string(loc->column)};
}

uint16_t text_of(const std::string &bytes) {
  String name = {};
  uint16_t n = textin_preset_text(&name, 0, bytes.c_str());
  return n;
}

std::string describe(uint32_t token) {
  const MtokenizState &t = mtokeniz_state;
  char real[40] = {};
  std::to_chars(real, real + sizeof real - 1, t.real);
  switch (token) {
    case TOKEN_IDENT: return "id:" + std::string(t.text.text, t.text.length);
    case TOKEN_STRING: return "s:" + std::string(t.text.text, t.text.length);
    case TOKEN_INTEGER: return "i:" + std::to_string(t.integer);
    case TOKEN_HEX: return "h:" + std::to_string(t.integer);
    case TOKEN_REAL: return "r:" + std::string(real);
    case TOKEN_DOUBLE: return "d:" + std::string(real);
    default: return std::to_string(token);
  }
}

// Every token of text n up to the end of the text or the first error.
std::string tokens(uint16_t n) {
  std::string out;
  try {
    for (int k = 0; k < 100; k++) {
      uint32_t token = mtokeniz_token(n);
      out += (out.empty() ? "" : " ") + describe(token);
      if (token == TOKEN_EOF) break;
    }
  } catch (Stop &s) {
    out += (out.empty() ? "" : " ") + s.what;
  }
  return out;
}

// The expanded character stream, a line end shown as "|".
std::string expand(uint16_t n) {
  std::string out;
  try {
    for (uint8_t ch; out.size() < 200 && (ch = gpmin_next_mchar(n));) out += ch == 13 ? '|' : char(ch);
  } catch (Stop &s) {
    out += s.what;
  }
  return out;
}

class Reader : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    mtokeniz_hook = stop_hook;
    // The comment characters the symbol reader installs.
    mtokeniz_set_char_class('{', MTOKENIZ_CM1A);
    mtokeniz_set_char_class('}', MTOKENIZ_CM1B);
    mtokeniz_set_char_class('!', MTOKENIZ_CM3);
    mtokeniz_set_char_class('/', MTOKENIZ_CM2AC);
    mtokeniz_set_char_class('*', MTOKENIZ_CM2B);
    if (GetParam()) gpmin_init_gpm();
  }
  void TearDown() override {
    if (gpmin_on()) gpmin_close_gpm();
    mtokeniz_hook = nullptr;
  }
};

struct Case {
  const char *text, *tokens;
};

}  // namespace

// The same tokens with the macro layer off and on (no macro calls in the texts).
TEST_P(Reader, TokensAndTheirPlaces) {
  const Case cases[] = {
      {"0x1F 0XG 3x", "h:31 h:0 id:G i:3 id:x 1"},
      {"1.5e-3 .5 1..3 1.x 7e", "r:0.0015 r:0.5 i:1 37 i:3 r:1 id:x r:7 1"},
      {"0000001234567 123456789", "i:1234567 i:123456789 1"},
      {"1234567890", "!Integer overflow @1:11"},
      {"0xFFFFFFFF 0x100000000", "h:4294967295 !Integer overflow @1:23"},
      {"1e35 1e36 1.23456 0.0000012 1.234567", "r:1e+35 d:1e+36 r:1.23456 r:1.2e-06 d:1.234567 1"},
      {"'it''s' \"say \"\"x\"\"\" \"a'b\"", "s:it's s:say \"x\" s:a'b 1"},
      {"x \"a\tb\"", "id:x !Unterminated String@1:5"},
      {"'open\nnext'", "!Unterminated String@1:6"},
      {"{ a { b } } x /* { } */ y /* a ** */ z", "id:x id:y id:z 1"},
      {"x\n{ a\n{ b }", "id:x !Unterminated Comment@2:2"},
      {"_a a_1 a1_ `", "0 id:a id:a_1 id:a1_ 0 1"},
      {"x**2 a<=b a<>b a/b", "id:x 16 16 i:2 id:a 24 25 id:b id:a 24 26 id:b id:a 21 id:b 1"},
      {"a ! to the end\nb ! last line", "id:a id:b 1"},
      {"a\x1b b", "id:a 1"},
      {"1e400", "!Real overflow@1:6"},
      {"\xef\xbb\xbf\xc3\x9b\xc3\x84 '\xe0\xa4\x95\xe0' x\xef\xbb\xbf", "id:\xc3\x9b\xc3\x84 s:\xe0\xa4\x95\xe0 id:x\xef\xbb\xbf 1"},
  };
  for (const Case &k : cases) {
    uint16_t n = text_of(k.text);
    EXPECT_EQ(tokens(n), k.tokens) << k.text;
    textin_close_text(n);
  }
  // Names and strings of 255 characters are whole; longer ones are refused.
  std::string name(255, 'n');
  const std::string texts[][2] = {{name + " '" + name + "'", "id:" + name + " s:" + name + " 1"},
                                  {name + "n", "!Name too long@1:257"},
                                  {"'" + name + "n'", "!String too long@1:258"}};
  for (const auto &k : texts) {
    uint16_t n = text_of(k[0]);
    EXPECT_EQ(tokens(n), k[1]);
    textin_close_text(n);
  }
}

// Reals are the nearest doubles to their decimal text, as Python's float() gives them.
TEST_P(Reader, RealsRoundCorrectly) {
  const struct {
    const char *text;
    double value;
  } cases[] = {{"0.3", 0x1.3333333333333p-2},     {"0.7", 0x1.6666666666666p-1},
               {"6.02e23", 0x1.fde9f10a8d361p+78}, {"2.5e-8", 0x1.ad7f29abcaf48p-26},
               {"0.1", 0x1.999999999999ap-4},      {"123456.789e-3", 0x1.edd3c07ee0b0bp+6},
               {"3.14159265358979323846264338327950288", 0x1.921fb54442d18p+1},
               {"2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
               {"4.9e-324", 0x0.0000000000001p-1022}, {"1e-400", 0.0},
               {"1.7976931348623157e308", 0x1.fffffffffffffp+1023}};
  for (const auto &k : cases) {
    uint16_t n = text_of(k.text);
    uint32_t token = mtokeniz_token(n);
    EXPECT_TRUE(token == TOKEN_REAL || token == TOKEN_DOUBLE) << k.text;
    EXPECT_EQ(mtokeniz_state.real, k.value) << k.text;
    textin_close_text(n);
  }
}

// A descriptor in UTF-8 with a byte-order mark: names, strings and comments in any
// script keep their bytes.
TEST_P(Reader, Utf8Descriptor) {
  String name = {};
  strings_copyto_1(&name, (test_data_dir() + "/utf8.pde").c_str());
  uint16_t n = textin_open_text(&name, 0);
  strings_free_0(&name);
  ASSERT_NE(n, 0);
  EXPECT_EQ(tokens(n),
            "id:TITLE s:तापीय चालकता — Wärmeleitung id:VARIABLES id:Û id:Ä id:DEFINITIONS id:kÛß 25 r:1.5 "
            "s:Straße id:END 1");
  textin_close_text(n);
}

INSTANTIATE_TEST_SUITE_P(MacroLayer, Reader, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "On" : "Off"; });

class Macros : public Reader {};

TEST_P(Macros, Expansions) {
  const Case cases[] = {
      {"#(DEF,A,<x>)#(A)", "x|"},
      {"#(DEC,#(BAR,*,#(BIN,6),#(BIN,7)))", "42|"},
      {"#(DEF,TWICE,<%1%1>)#(TWICE,ab)", "abab|"},
      {"#(def,abc,<1>)#(ABC)", "1|"},
      {"#(DEF,N,#(BIN,-32767))#(DEC,#(N))", "-32767|"},
      {"#(DEC,#(BAR,/,#(BIN,-7),#(BIN,2)))#(DEC,#(BAR,R,#(BIN,-7),#(BIN,2)))", "-3-1|"},
      {"a#(DEF,B,<y>\n\n)#(B)b", "ay|b|"},
      {"#(DEF,L,<a\nb>)#(L)c\nd", "a|bc|d|"},
      {"x#(NOPE,1)y <q>, %1)", "xy <q>, %1)|"},
      {"#(EQ,ab,AB,yes,no)#(EQ,ab,ab,<#(A)>,no)", "no#(A)|"},
      {"#(DEF,V,<abc>)#(REDEF,V,xy)#(VAL,V)", "xy|"},
      // A definition made in a body outlives the call; one made in an argument list
      // lasts as long as that call and is no part of the argument.
      {"#(DEF,X,<#(DEF,Y,<y>)>)#(X)#(Y)", "y|"},
      {"#(DEF,Z,<%1#(W)>)#(Z,#(DEF,W,<w>)a)#(W).", "aw.|"},
      {"#(SYNTAX,$ ;.~[])$DEF;W;[~1~1].$W;z.", "zz|"},
      {"#(BIN,1x)", "!GPM error 10: illegal digit in number 1x@1:1"},
      {"ok #(BAR,/,#(BIN,1),#(BIN,0))", "!GPM error 6: zero divisor in BAR@1:4"},
      {"#(DEF,R,<#(R)>)#(R)", "!GPM error 7: stack overflow in R@1:1"},
      {"#(DEF,V,<a>)#(REDEF,V,xy)", "!GPM error 9: update too long for V@1:1"},
      {"#(DEF,A,<%2>)#(A,1)", "!GPM error 4: no arg #2 in call of A@1:1"},
      {"#(DEF,A,<a)b>)#(A)", "!GPM error 1: unmatched ) in A@1:1"},
      {"#(A,%1)", "!GPM error 2: unquoted argument marker in A@1:1"},
      {"#(BIN,300)", "!GPM error 8: bad character in result of @1:1"},
      {"#(A,\nb", "!GPM error 5: terminator in arg list for A@1:1"},
  };
  for (const Case &k : cases) {
    gpmin_init_gpm();
    uint16_t n = text_of(k.text);
    EXPECT_EQ(expand(n), k.tokens) << k.text;
    textin_close_text(n);
  }
  // With the layer off every character passes.
  gpmin_close_gpm();
  uint16_t n = text_of("#(DEF,A,<x>)#(A)");
  EXPECT_EQ(expand(n), "#(DEF,A,<x>)#(A)|");
  textin_close_text(n);
}

// Places are columns of the expanded line on the line where it began; a seek to a
// place builds that line again.
TEST_P(Macros, PlacesAndSeeks) {
  uint16_t n = text_of("#(DEF,A,<xyz>,\n)\nq#(A) b");
  EXPECT_EQ(tokens(n), "id:qxyz id:b 1");
  textin_reset_text(n);
  ASSERT_EQ(mtokeniz_token(n), TOKEN_IDENT);
  TextLoc after = {};
  textin_textloc(&after, n);
  EXPECT_EQ(after.line, 3u);
  EXPECT_EQ(after.column, 5);
  ASSERT_EQ(mtokeniz_token(n), TOKEN_IDENT);
  textin_text_seek(&after);
  EXPECT_EQ(tokens(n), "id:b 1");
  textin_close_text(n);
}

INSTANTIATE_TEST_SUITE_P(On, Macros, ::testing::Values(true));
