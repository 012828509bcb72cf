// The symbol reader: terminals, reserved and hidden words, names in the scopes,
// INCLUDE and BODY, and the located reports of its errors.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "model/symtab.h"
#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "reader/rdpde.h"
#include "runtime/except.h"
#include "tests/reader/problem.h"
#include "tests/runtime/harness.h"

namespace {

String text(const std::string &c) {
  String s = {};
  strings_copyto_1(&s, c.c_str());
  return s;
}

struct Symbols : BatchProblem {
  void SetUp() override {
    BatchProblem::SetUp();
    symtab_resize(&p->scopes, 1, 4);
  }
  void TearDown() override {
    rdpde_close_includes(p);
    if (p->desctext) textin_close_text(p->desctext);
    if (p->cfgtext) textin_close_text(p->cfgtext);
    BatchProblem::TearDown();
  }
  uint16_t file(const std::string &name, const std::string &bytes) {
    spit(dir.file(name.c_str()), bytes);
    String path = text(dir.file(name.c_str()));
    uint16_t n = textin_open_text(&path, 0);
    strings_free_0(&path);
    return n;
  }
  // The terminals of text n to <eof> ("ERROR ..." for a report), names as N=<name>.
  std::string terminals(uint16_t n) {
    rdpde_select_input_1(n, p);
    rdpde_init_symbol();
    std::string out;
    TRACE("terminals");
    HookScope hook;
    int code = except_catch("terminals", [&] {
      for (int k = 0; k < 60; k++) {
        parse_node node = {};
        uint16_t t = rdpde_readsymbol(&node);
        out += (out.empty() ? "" : " ") + std::to_string(t);
        if (node.id && node.id->kind == nullid) {
          out += "=" + std::string(node.id->name.text);
          symtab_deleteall(node.id);
        }
        if (t == SYM_STRING) strings_free_0(&node.value.string);
        if (t == SYM_EOF) break;
      }
    });
    if (code) {
      fflush(log);
      rewind(log);
      std::string report = slurp_stream(log);
      out += " ERROR" + report.substr(report.find('|') + 1);
    }
    return out;
  }
};

}  // namespace

TEST_F(Symbols, StartupAndNames) {
  fflush(stdout);
  FILE *capture = tmpfile();
  int saved = dup(1);
  dup2(fileno(capture), 1);
  rdpde_init_parse();
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  rewind(capture);
  EXPECT_EQ(slurp_stream(capture),
            "!@*&%# -- RESWORD HASH DUPLICATION CONIC = ANGLE (7a1)\n"
            "!@*&%# -- RESWORD HASH DUPLICATION NEUMANN = NATURAL (1dce)\n");
  fclose(capture);
  EXPECT_STREQ(rdpde_symbol_names[91], "@LAMBDA");
  EXPECT_STREQ(rdpde_symbol_names[200], "<explicit.defin");
  EXPECT_STREQ(rdpde_symbol_names[299], "<comparison1>");
}

TEST_F(Symbols, Terminals) {
  uint16_t n = file("t.pde", "x**2 a*b a<=b a<>b a>=b>c\nselect Select mixedCase kÛß sin(.5) [0x1F] 'it''s' _ # 3");
  EXPECT_EQ(terminals(n),
            "2=X 33 3 2=A 14 2=B 2=A 35 2=B 2=A 22 24 2=B 2=A 36 2=B 24 2=C "
            "122 122 2=MIXEDCASE 2=KÛß 37 12 6 13 27 3 29 5 0 10 3 1");
  textin_close_text(n);
}

TEST_F(Symbols, HiddenWordsAndScopes) {
  String lambda = text("lambda");
  uint16_t n = file("t.pde", "LAMBDA x a f");
  EXPECT_EQ(terminals(n), "2=LAMBDA 2=X 2=A 2=F 1");
  rdpde_enable_name(&lambda);
  EXPECT_EQ(terminals(n), "91 2=X 2=A 2=F 1");
  rdpde_disable_name(&lambda);
  strings_free_0(&lambda);
  // Names of an inner scope are found until the scope is popped.
  symtab_resize(&p->scopes, 2, 4);
  auto enter = [&](int level, const char *name, uint32_t kind) {
    String s = text(name);
    idrec *r = symtab_newidrec(&s, strings_hashfn_0(&s));
    symtab_defineid(r, kind, 1, 0, 0, nullptr);
    symtab_enterid(&p->scopes.roots[level - 1], r);
    strings_free_0(&s);
  };
  enter(1, "X", varbnam);
  enter(2, "A", arraynam);
  enter(2, "F", fparamnam);
  EXPECT_EQ(terminals(n), "2=LAMBDA 2 38 37 1");
  p->scopes.roots[1] = symtab_deleteall(p->scopes.roots[1]);
  symtab_resize(&p->scopes, 1, 4);
  EXPECT_EQ(terminals(n), "2=LAMBDA 2 2=A 2=F 1");
  textin_close_text(n);
}

// Included files come from the descriptor's folder when not found as named; a
// missing one and a seventh level are refused at the directive.
TEST_F(Symbols, IncludeAndBody) {
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);
  file("sub/c.inc", "c");
  file("a.inc", "a1 #include 'b.inc' #include 'sub\\c.inc' a2");
  file("b.inc", "b1 b2");
  file("loop.inc", "l\n#include 'loop.inc'");
  uint16_t n = file("t.pde", "x #include 'a.inc' y #Include \"loop.inc\" z");
  EXPECT_EQ(terminals(n), "2=X 2=A1 2=B1 2=B2 2=C 2=A2 2=Y 2=L 2=L 2=L 2=L 2=L 2=L ERROR"
                          " #include 'loop.inc'\n"
                          "                              *\n"
                          "           Line 2 ERROR: Too many nested INCLUDE or BODY directives\n");
  p->desctext = file("desc.pde", "d1 d2");
  uint16_t cfg = file("cfg.pde", "c1 #body c2 #other #(");
  EXPECT_EQ(terminals(cfg), "2=C1 2=D1 2=D2 2=C2 10 2=OTHER 10 12 1");
  EXPECT_EQ(p->bodyread, 1);
  textin_close_text(cfg);
  textin_close_text(n);
}

// A missing include file is an error at its directive, naming the file (as read).
TEST_F(Symbols, MissingIncludeIsALocatedError) {
  uint16_t m = file("m.pde", "m1\n #INCLUDE \"sub\\missing.inc\" m2");
  EXPECT_EQ(terminals(m), "2=M1 ERROR  #INCLUDE \"sub\\missing.inc\" m2\n"
                          "                                      *\n"
                          "           Line 2 ERROR: Can't Find Include File sub/missing.inc\n");
  textin_close_text(m);
}

TEST_F(Symbols, Errors) {
  uint16_t n = file("t.pde", "a\n  b 'open");
  EXPECT_EQ(terminals(n), "2=A 2=B ERROR   b 'open\n                    *\n           Line 2 ERROR: Unterminated String\n");
  EXPECT_EQ(rdpde_errors, 1u);
  rdpde_select_input_1(n, p);
  TRACE("rpterror");
  HookScope hook;
  EXPECT_EQ(except_catch("rpterror", [] { rdpde_rpterror(1, 1, 157); }), EXCEPT_REPORTED);
  EXPECT_EQ(rdpde_errors, 1u);
  textin_close_text(n);
}

// A configuration text that reads the descriptor through BODY has parsed it: the
// run controller does not parse the descriptor again.
// A parse that ends in an error leaves no nesting behind: the next parse of the
// problem parses its texts again.
TEST_F(Symbols, AParseErrorLeavesTheNextParseWhole) {
  static int parses;
  parses = 0;
  control_services.parse = [](pde *, uint16_t, uint8_t) {
    if (++parses == 1) except_jump(EXCEPT_REPORTED);
  };
  p->desctext = file("desc.pde", "d");
  TRACE("parse");
  HookScope hook;
  EXPECT_EQ(except_catch("parse", [this] { control_parse_file(p); }), EXCEPT_REPORTED);
  EXPECT_EQ(except_catch("parse", [this] { control_parse_file(p); }), 0);
  EXPECT_EQ(parses, 2);
  control_default_services();
}

TEST_F(Symbols, BodyParsesTheDescriptorOnce) {
  static std::string seen;
  seen.clear();
  control_services.parse = [](pde *q, uint16_t text, uint8_t) {
    rdpde_select_input_1(text, q);
    rdpde_init_symbol();
    for (parse_node node = {}; rdpde_readsymbol(&node) == SYM_IDENT; node = {}) {
      seen += std::string(node.id->name.text) + " ";
      symtab_deleteall(node.id);
    }
  };
  p->cfgtext = file("cfg.pde", "c #body");
  p->desctext = file("desc.pde", "d");
  control_parse_file(p);
  EXPECT_EQ(seen, "C D ");
  p->cfgtext = file("cfg.pde", "c");
  control_parse_file(p);
  EXPECT_EQ(seen, "C D C D ");
  control_default_services();
}
