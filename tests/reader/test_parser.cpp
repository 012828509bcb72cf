// The descriptor parser: the generated tables' figures, and parses of descriptor
// texts with action doubles that record the reductions.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cfenv>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "model/symtab.h"
#include "reader/acpde.h"
#include "reader/gpmin.h"
#include "reader/ppde.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"
#include "tests/reader/problem.h"
#include "tests/runtime/harness.h"

namespace {

TEST(ParseTables, Figures) {
  const parse_tables &t = ppde_tables;
  EXPECT_EQ(t.lr0_states, 1011);
  EXPECT_EQ(t.folded, 372);
  EXPECT_EQ(t.states, 639);
  EXPECT_EQ(t.entries, 7160);
  EXPECT_EQ(t.sets, 50);
  int with_set = 0;
  for (int s = 1; s <= t.states; s++) {
    with_set += t.state[s].set != 0;
    EXPECT_EQ(t.state[s].rule != 0, t.state[s].set != 0) << s;
  }
  EXPECT_EQ(with_set, 149);
  // ENDREPEAT and the END of a batch list reduce as soon as they are shifted; the
  // start symbol in state 1 accepts.
  auto shift_reduce_target = [&](int s, int x) {
    for (int i = 1; i <= t.state[s].shiftreduce; i++)
      if (t.symbol[t.state[s].base + i] == x) return int(t.target[t.state[s].base + i]);
    return -1;
  };
  int endrepeat = 0, batch_end = 0;
  for (int s = 1; s <= t.states; s++) {
    for (int i = 1; i <= t.state[s].count; i++) {
      int x = t.symbol[t.state[s].base + i];
      endrepeat += x == 156;
      batch_end += x == 66 && shift_reduce_target(s, x) == 5;
      if (x == 156) EXPECT_EQ(shift_reduce_target(s, x), 513) << s;
    }
  }
  EXPECT_GT(endrepeat, 0);
  EXPECT_EQ(batch_end, 1);
  EXPECT_EQ(shift_reduce_target(1, 157), 0);
  EXPECT_STREQ(acpde_handler_names[284], "rdexpr_endrepeat");
  EXPECT_EQ(acpde_handlers[5], nullptr);
}

// The generator refuses a grammar whose conflicts are not the expected ones.
TEST(ParseTables, GeneratorRefusesOtherConflicts) {
  std::ifstream in(QUENDAR_GRAMMAR);
  std::string grammar((std::istreambuf_iterator<char>(in)), {});
  TempDir dir;
  auto run = [&](const std::string &text) {
    spit(dir.file("g"), text);
    std::string command = std::string(QUENDAR_LALRGEN) + " " + dir.file("g") + " " + dir.file("t.cpp") + " 2>&1";
    FILE *f = popen(command.c_str(), "r");
    std::string out;
    for (int c; (c = fgetc(f)) != EOF;) out += char(c);
    return std::to_string(WEXITSTATUS(pclose(f))) + " " + out;
  };
  EXPECT_EQ(run(grammar).substr(0, 2), "0 ");
  std::string unlisted = grammar.substr(0, grammar.rfind("501 ELSE"));
  EXPECT_NE(run(unlisted).find("unexpected shift/reduce conflict: rule 501 on ELSE"), std::string::npos);
  std::string twice = grammar;
  twice.insert(twice.find("414 <relation>"), "600 <relation> -> <equal> | 0\n");
  EXPECT_NE(run(twice).find("2 reductions (reduce/reduce conflict)"), std::string::npos);
}

// What the doubles saw.
std::vector<int> codes;
std::string notes;
uint16_t reading_text = 0;

template <int C> void recorder(parse_node *r, parse_node *const *v) {
  codes.push_back(C);
  if constexpr (C == 20) notes += "select sees " + std::to_string(v[1]->value.integer) + ";";
  if constexpr (C == 20 || C == 63) r->value.integer = C == 20 ? 77 : 5;
  if constexpr (C == 56)
    notes += std::string(v[1]->id->name.text) + "@" + std::to_string(v[1]->loc.column) + ";";
  if constexpr (C == 284) {
    TextLoc at = {};
    textin_textloc(&at, reading_text);
    notes += "endrepeat@" + std::to_string(v[1]->loc.column) + " reading@" + std::to_string(at.column) + ";";
  }
}

template <size_t... C> void install(std::index_sequence<C...>) {
  ((acpde_handlers[C + 1] = recorder<int(C + 1)>), ...);
}

struct Parser : BatchProblem {
  void SetUp() override {
    BatchProblem::SetUp();
    symtab_resize(&p->scopes, 1, 4);
    install(std::make_index_sequence<ACPDE_CODES>());
    control_parse_pass = 1;
    // The text table's and the tokenizer's first growth are held for the process.
    warm = true;
    parse("TITLE 'warm' + 'up' x = 1.5e3");
    parse("'an unterminated string");
    warm = false;
  }
  bool warm = false;
  void TearDown() override {
    control_parse_pass = 0;
    BatchProblem::TearDown();
  }
  // "ok" and the action codes, or the error report's last two lines and the debug line.
  std::string parse(const std::string &source) {
    codes.clear();
    notes.clear();
    int64_t before = XMEM;
    String name = {};
    reading_text = textin_preset_text(&name, 0, source.c_str());
    rdpde_select_input_1(reading_text, p);
    DebugCapture debug;
    TRACE("parse");
    HookScope hook;
    int code = except_catch("parse", [] { ppde_parse(); });
    textin_close_text(reading_text);
    if (!warm) EXPECT_EQ(XMEM, before) << source;  // accepted or abandoned
    if (!code) {
      std::string out = "ok";
      for (int c : codes) out += " " + std::to_string(c);
      return out;
    }
    std::string report = take_log();
    size_t star = report.rfind('*');
    return report.substr(report.rfind('\n', star) + 1) + debug.text();
  }
  // The column of the error mark and the symbol the debug line says was got.
  std::string where(const std::string &source) {
    std::string r = parse(source);
    if (r.rfind("ok", 0) == 0) return r;
    size_t got = r.find("GOT: ");
    return "col " + std::to_string(r.find('*')) + " " + r.substr(got, r.find(" WANTED") - got);
  }
};

TEST_F(Parser, EndOfTheDescriptor) {
  const std::pair<const char *, const char *> cases[] = {
      {"TITLE 'a' END", "ok 19 6 2"},
      {"TITLE 'a' END END .", "ok 19 6 2"},
      {"TITLE 'a' END name", "ok 19 6 2"},
      {"TITLE 'a' END 2.5", "ok 19 6 2"},
      {"TITLE 'a' END PLOTS", "ok 19 6 1"},
      {"TITLE 'a' END ) illegal", "col 26 GOT: 13())"},
      {"TITLE 'a' END 5", "col 26 GOT: 3(<integer>)"},
      {"TITLE 'a' END ;", "col 26 GOT: 21(;)"},
      {"TITLE 'a' END SIN", "col 28 GOT: 37(<func.ident>)"},
      {"TITLE 'a'", "ok 19 3"},
      {"", "col 11 GOT: 1(<eof>)"},
      {"BATCH 'a' END", "ok 8 11 9 4"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(where(text), want) << text;
}

// Errors are found at the offending token; valid forms of the same shapes parse.
TEST_F(Parser, Expressions) {
  const std::pair<const char *, const char *> cases[] = {
      {"DEFINITIONS a = b**-c", "col 31 GOT: 17(<minus>)"},
      {"DEFINITIONS a = b*-c", "col 30 GOT: 17(<minus>)"},
      {"SELECT SIMPLEX", "col 25 GOT: 124(SIMPLEX)"},
      {"DEFINITIONS a = IF b<>c THEN 1", "col 34 GOT: 24(<gtr>)"},
      {"DEFINITIONS function = 1", "col 31 GOT: 83(FUNCTION)"},
      {"COORDINATES c TIME 0 TO 1", "col 31 GOT: 3(<integer>)"},
      {"DEFINITIONS a = b**(-c)", "ok 49 246 246 235 239 238 56 3"},
      {"DEFINITIONS a = -b*c", "ok 49 246 246 236 235 56 3"},
      {"DEFINITIONS a = (IF b>0 THEN 1 ELSE 2)*3", "ok 49 246 270 248 279 276 270 248 270 248 275 240 270 248 236 56 3"},
      {"BOUNDARIES REGION 1 START[0,0) LINE TO FINISH", "ok 93 91 96 99 270 248 270 248 245 147 114 153 123 111 94 92 18 3"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(where(text), want) << text;
  // ELSE goes with the nearest IF, in the vector and the scalar forms.
  EXPECT_EQ(where("DEFINITIONS a = IF b>0 THEN IF c>0 THEN 1 ELSE 2"),
            "ok 49 246 270 248 279 276 246 270 248 279 276 270 248 270 248 275 274 56 3");
  EXPECT_EQ(where("DEFINITIONS a = 2*(IF b>0 THEN IF c>0 THEN 1 ELSE 2)"),
            "ok 49 270 248 246 270 248 279 276 246 270 248 279 276 270 248 270 248 275 274 240 236 56 3");
}

TEST_F(Parser, ValuesAndPlaces) {
  // A set-aside lookahead comes back with its value and place.
  EXPECT_EQ(parse("DEFINITIONS a = b cc = 2.5").substr(0, 2), "ok");
  EXPECT_EQ(notes, "A@14;CC@21;");
  // A rule without action keeps the value of its first symbol.
  EXPECT_EQ(parse("SELECT x s = STAGED(1,2) y").substr(0, 2), "ok");
  EXPECT_EQ(notes, "select sees 0;select sees 77;");
  // The ENDREPEAT action runs before anything after it is read.
  EXPECT_EQ(parse("DEFINITIONS REPEAT i=1 TO 2 a = i ENDREPEAT b = 2").substr(0, 2), "ok");
  EXPECT_EQ(notes, "A@30;endrepeat@44 reading@44;B@46;");
  // A handler that stops the parse after making a value of its own loses nothing.
  acpde_handlers[19] = [](parse_node *r, parse_node *const *v) {
    r->token = SYM_STRING;
    strings_copyto_1(&r->value.string, "made");
    static char text[] = "stopped";
    String m{7, 7, text};
    pdedat_parse_err_0(rdpde_problem, &v[2]->loc, &m);
  };
  EXPECT_NE(parse("TITLE 'a'").find("ERROR: stopped"), std::string::npos);
}

// A configuration text without a token is nothing; a descriptor without one is an error.
TEST_F(Parser, EmptyTexts) {
  control_parse_pass = 0;
  EXPECT_EQ(parse(""), "ok");
  EXPECT_EQ(parse("{ only a comment }\n! and another"), "ok");
  control_parse_pass = 1;
  EXPECT_EQ(where("{ only a comment }"), "col 30 GOT: 1(<eof>)");
  // With the macro generator on, the end of an empty text lies on a line it does not have.
  gpmin_init_gpm();
  EXPECT_EQ(where(""), "col 11 GOT: 1(<eof>)");
  gpmin_close_gpm();
}

// The run keeps the overflow trap armed: a number too large is an error on the text.
TEST_F(Parser, OverflowingNumberUnderTraps) {
  rtlib_fpu_default();
  std::string report = parse("DEFINITIONS a = 1e999 + 1" + std::string(400, '0') + ".5");
  fesetenv(FE_DFL_ENV);
  EXPECT_NE(report.find("Line 1 ERROR: Real overflow"), std::string::npos) << report;
}

TEST_F(Parser, NodesDoNotGrowWithTheText) {
  auto definitions = [](int n) {
    std::string s = "DEFINITIONS\n";
    for (int k = 0; k < n; k++) s += "a" + std::to_string(k) + " = (b + c*d)**2 - sin(e)\n";
    return s + "END\n";
  };
  ASSERT_EQ(parse(definitions(10)).substr(0, 2), "ok");
  uint32_t few = ppde_nodes_allocated();
  ASSERT_EQ(parse(definitions(10000)).substr(0, 2), "ok");
  EXPECT_EQ(ppde_nodes_allocated(), few);
}

}  // namespace
