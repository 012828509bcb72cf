// The switch, expression and section actions on descriptor texts.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <random>
#include <vector>

#include "model/metrics.h"
#include "model/params.h"
#include "model/treeval.h"
#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "reader/rdexpr.h"
#include "reader/rdtable.h"
#include "reader/switches.h"
#include "runtime/bopmem.h"
#include "tests/reader/actions.h"

namespace {

using Case = std::pair<const char *, const char *>;

// The switch settings the edge cases name, read after each text.
TEST_F(Actions, SelectSwitches) {
  struct Row {
    const char *text;
    std::function<double(pde *)> got;
    double want;
  };
  auto ngrid = [](pde *q) { return double(q->ngrid); };
  auto regrid = [](pde *q) { return double(q->regrid); };
  auto iccg = [](pde *q) { return double(q->iccg); };
  auto limit = [](pde *q) { return double(q->nodelimit); };
  const Row rows[] = {
      {"ngrid = 7.9", ngrid, 7}, {"ngrid = -2.5", ngrid, -2}, {"ngrid = 70000", ngrid, 4464},
      {"ngrid = 40000", ngrid, -25536}, {"ngrid = 1e30", ngrid, -1}, {"ngrid = 65536", ngrid, 0},
      {"regrid = 0.5", regrid, 0}, {"regrid = 2", regrid, 1}, {"regrid", regrid, 1}, {"regrid off", regrid, 0},
      {"iccg = 0", iccg, 1}, {"iccg", iccg, 2}, {"iccg = 5", iccg, 6},
      {"nodelimit = 2000000", limit, 1000000}, {"nodelimit = 500", limit, 500}, {"nodelimit = 5e9", limit, 1000000},
      {"delay = 300", [](pde *q) { return double(q->delay); }, 44},
      {"option = 40000", [](pde *q) { return double(q->option); }, -25536},
      {"paintmaterials paintregions", [](pde *q) { return double(q->paintregions); }, 1},
      {"paintregions paintmaterials", [](pde *q) { return double(q->paintregions); }, 0},
      {"nonsymmetric", [](pde *q) { return double(q->symmetric); }, 0},
      {"aspect = 2.5", [](pde *q) { return q->aspect; }, 2.5},
      {"bandlu = 1", [](pde *q) { return q->bandlu * 10.0 + q->dense; }, 101},
      {"cubic", [](pde *q) { return double(q->order); }, 3},
      {"modes = 4", [](pde *q) { return q->modes * 10.0 + q->eigen; }, 41},
      {"modes = 0", [](pde *q) { return q->modes * 10.0 + q->eigen; }, 0},
      {"deltat = 2*3", [](pde *q) { return q->deltat; }, 6},
  };
  for (const Row &r : rows) {
    ASSERT_EQ(parse(std::string("TITLE 'a' SELECT ") + r.text), "ok") << r.text;
    EXPECT_EQ(r.got(p), r.want) << r.text;
  }
  // MODES makes LAMBDA a word whatever the count.
  EXPECT_EQ(parse("SELECT modes = 0 DEFINITIONS a = lambda"), "ok");
  EXPECT_EQ(p->formulas.definitions.items[0]->global->opcode, op::lambda);
  EXPECT_EQ(parse("SELECT nonsense = 7.9"), "Undefined SELECTOR @1:16");
  EXPECT_NE(debug.find("BAD SELECT: NONSENSE\n"), std::string::npos);
  EXPECT_EQ(parse("SELECT lambda"), "Undefined SELECTOR @1:14");
  EXPECT_EQ(parse("SELECT ngrid = r"), "CONSTANT REQUIRED @1:17");
  // ALIAS compares upper-cased names; other names are ignored.
  EXPECT_EQ(parse("SELECT alias(x) = 'dist' alias(q) = 'no'"), "ok");
  EXPECT_STREQ(p->axisname[0].text, "dist");
}

// Each switch with a range, below, at and above each bound: a value outside is a
// located error naming the range; V216INTEGRAL drops the angular factor.
TEST_F(Actions, SwitchRangesAreCheckedWhereRead) {
  struct Bounds {
    const char *name;
    double lo, hi;  // hi 0: no upper bound
    const char *range;
  } bounds[] = {
      {"order", 1, 3, "1 to 3"},
      {"contourgrid", 2, 2048, "2 to 2048"},
      {"surfacegrid", 2, 2048, "2 to 2048"},
      {"vectorgrid", 2, 2048, "2 to 2048"},
      {"elevationgrid", 2, 32767, "2 to 32767"},
      {"cdfgrid", 2, 2048, "2 to 2048"},
      {"exportgrid", 0, 2048, "0 to 2048"},
      {"gridlimit", 0, 32767, "0 to 32767"},
      {"initgridlimit", 0, 32767, "0 to 32767"},
      {"stages", 0, 32767, "0 to 32767"},
      {"modes", 0, 32767, "0 to 32767"},
      {"nodelimit", 1, 0, "at least 1"},
      {"errlim", 1e-300, 0, "above 0"},
  };
  for (const Bounds &b : bounds) {
    std::string upper = b.name;
    for (char &c : upper) c = char(toupper(c));
    const std::string bad = upper + " must be " + b.range + " @1:" + std::to_string(8 + strlen(b.name));
    auto at = [&](double v) {
      std::ostringstream text;
      text << "SELECT " << b.name << " = " << std::setprecision(17) << v;
      return parse(text.str());
    };
    EXPECT_EQ(at(b.lo == 1e-300 ? 0 : b.lo - 1), bad) << b.name;
    EXPECT_EQ(at(b.lo), "ok") << b.name;
    EXPECT_EQ(at(b.lo == 1e-300 ? 1 : b.lo + 1), "ok") << b.name;
    if (b.hi == 0) continue;
    EXPECT_EQ(at(b.hi - 1), "ok") << b.name;
    EXPECT_EQ(at(b.hi), "ok") << b.name;
    EXPECT_EQ(at(b.hi + 1), bad) << b.name;
  }
  EXPECT_EQ(parse("SELECT errlim 0"), "ERRLIM must be above 0 @1:14");
  ASSERT_EQ(parse("SELECT v216integral COORDINATES ycylinder"), "ok");
  EXPECT_EQ(p->coords.angular, 1.0);
  ASSERT_EQ(parse("COORDINATES ycylinder"), "ok");
  EXPECT_NEAR(p->coords.angular, 2 * M_PI, 1e-15);
}

// A parse abandoned inside an integral's integrand releases the trees it had built:
// repeating it leaves the memory count where the first repetition left it.
TEST_F(Actions, AbandonedIntegrandIsReleased) {
  const std::string text = "VARIABLES u DEFINITIONS q = x^2 e = sqrt(INTEGRAL((q - x)^grad(u))) + 1";
  EXPECT_EQ(parse(text), "RESULT IS NOT SCALAR @1:59");
  int64_t after = XMEM;
  for (int k = 0; k < 3; k++) EXPECT_EQ(parse(text), "RESULT IS NOT SCALAR @1:59");
  EXPECT_EQ(XMEM, after);
}

// A newcomer's slips: a variable named T where time is T is reported at the variable,
// a function's name between operands says it is a function.
TEST_F(Actions, ClashesAndFunctionNamesAreExplained) {
  EXPECT_EQ(parse("VARIABLES\n  T\nEQUATIONS\n  dt(T) = div(grad(T))"), "Duplicate use of time variable T @2:4");
  EXPECT_EQ(parse("VARIABLES u DEFINITIONS k = 2\n  c = k dot k"), "Illegal Symbol: DOT is a function, written DOT(...) @2:12");
}

// ERRLIM is a definition: an expression in time stays one, and a later SELECT
// (the descriptor after the configuration text) replaces an earlier one.
TEST_F(Actions, Errlim) {
  ASSERT_EQ(parse("SELECT errlim = 0.01*(1+t)"), "ok");
  EXPECT_NE(p->formulas.definitions.items[0]->global->opcode, op::realval);
  EXPECT_EQ(p->timedep, 1);
  ASSERT_EQ(parse("SELECT errlim 1e-4", "SELECT errlim = 1e-3"), "ok");
  ASSERT_EQ(p->formulas.definitions.count, 1);
  EXPECT_EQ(treeval_eval(p, p->formulas.definitions.items[0]->global, nullptr), 1e-4);
}

TEST_F(Actions, DebugAndPrint) {
  // Each name changes one flag byte of the record, or none for the program-wide ones.
  const char *names[] = {"BUILDEQ", "COUPLING", "DOMAIN",  "EDGES",    "FEAT",     "FINDER",  "FITTING",
                         "FORMULAS", "INIT",    "LOADING", "MAP",      "MEASURE",  "MODES",   "PLOT",
                         "READ",    "REFINE",   "SOLVE",   "SPARSECG", "SPARSEMX", "SYMTAB",  "TIMEDEP",
                         "TREECLAS", "TREEDIF", "TREEMODS", "TREES",   "TREESIMP", "TREEVAL", "TEXTIN",
                         "TREELOCS", "XFER"};
  std::vector<uint8_t> before(sizeof(Switches)), after(sizeof(Switches));
  for (const char *n : names) {
    ASSERT_EQ(parse("SELECT"), "ok");
    memcpy(before.data(), static_cast<Switches *>(p), sizeof(Switches));
    ASSERT_EQ(parse(std::string("SELECT DEBUG(") + n + "=3)"), "ok") << n;
    memcpy(after.data(), static_cast<Switches *>(p), sizeof(Switches));
    int changed = 0;
    for (size_t k = offsetof(Switches, dbg_buildeq); k <= offsetof(Switches, dbg_solve); k++)
      changed += before[k] != after[k];
    bool wide = !strcmp(n, "TEXTIN") || !strcmp(n, "TREELOCS") || !strcmp(n, "XFER");
    EXPECT_EQ(changed, wide ? 0 : 1) << n;
  }
  EXPECT_EQ(mtokeniz_debug, 3);
  EXPECT_EQ(switches_treelocs, 3);
  EXPECT_EQ(rdtable_debug, 3);
  EXPECT_EQ(treeval_debug, 0);  // handed over from the record after the last parse
  mtokeniz_debug = switches_treelocs = rdtable_debug = 0;
  EXPECT_EQ(parse("SELECT DEBUG(treeval, grid = 2)"), "ok");
  EXPECT_EQ(p->dbg_treeval * 10 + p->dbg_grid + treeval_debug * 100, 112);
  EXPECT_EQ(parse("SELECT DEBUG(transfer)"), "Illegal Symbol: TRANSFER is a reserved word @1:22");
  EXPECT_EQ(parse("SELECT DEBUG(bogus)"), "BAD DEBUG FLAG @1:19");
  EXPECT_NE(debug.find("BAD DEBUG: BOGUS\n"), std::string::npos);
  EXPECT_EQ(parse("SELECT PRINT(matrix, other, grid)"), "ok");
  EXPECT_EQ(p->printmatrix + p->printgrid * 2, 3);
  EXPECT_NE(debug.find("BAD PRINT: OTHER\n"), std::string::npos);
  treeval_debug = 0;
}

// The value of definition A of the last parse at (x, y).
double value_at(pde *p, double x, double y) {
  evalpoint at = {};
  at.x = x, at.y = y;
  return treeval_eval(p, p->formulas.definitions.items[0]->global, &at);
}

TEST_F(Actions, TreeValues) {
  const struct {
    const char *expr;
    double x, y, want;
  } rows[] = {{"2**3**2", 0, 0, 64},          {"-2**2", 0, 0, -4},        {"10-2-3", 0, 0, 5},
              {"theta", -1, -1, 5 * M_PI / 4}, {"r", 3, 4, 5},             {"2^3*x/4", 2, 0, 4},
              {"if x > 1 then 2 else 3", 2, 0, 2}, {"max(x, y) + min(x, y)", 1, 5, 6},
              {"sin(pi/2)", 0, 0, 1},         {"-(-(-x))", 1, 0, -1}};
  for (auto &r : rows) {
    ASSERT_EQ(parse(std::string("DEFINITIONS a = ") + r.expr), "ok") << r.expr;
    EXPECT_NEAR(value_at(p, r.x, r.y), r.want, 1e-12) << r.expr;
  }
}

// Random expressions in x and y against an evaluator of the same grammar in python3:
// "**" binds tighter than "*" and groups from the left; a sign stands only first.
TEST_F(Actions, RandomExpressionsAgreeWithPython) {
  if (system("python3 -c 1 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not found";
  std::mt19937 rng(19);
  auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
  std::function<std::string(int)> expr = [&](int d) -> std::string {
    auto primary = [&]() -> std::string {
      switch (d > 3 ? pick(3) : pick(6)) {
        case 0: return "x";
        case 1: return "y";
        case 2: return std::to_string(1 + pick(9)) + (pick(2) ? ".5" : "");
        case 3: return "(" + expr(d + 1) + ")";
        case 4: return std::string(pick(2) ? "sin" : "cos") + "(" + expr(d + 1) + ")";
        default: return "abs(" + expr(d + 1) + ")";
      }
    };
    std::string s = pick(4) == 0 ? "-" : "";
    int terms = 1 + pick(3);
    for (int t = 0; t < terms; t++) {
      if (t) s += pick(2) ? " + " : " - ";
      int factors = 1 + pick(2);
      for (int f = 0; f < factors; f++) {
        if (f) s += pick(3) ? "*" : "/";
        s += primary();
        if (pick(5) == 0) s += "**" + std::to_string(1 + pick(2));
      }
    }
    return s;
  };
  const double x = 0.7, y = -1.3;
  std::vector<std::string> exprs;
  for (int k = 0; k < 1000; k++) exprs.push_back(expr(0));
  std::string list = dir.file("exprs.txt"), out = dir.file("values.txt"), script = dir.file("eval.py");
  {
    std::ofstream f(list);
    for (auto &e : exprs) f << e << "\n";
    std::ofstream s(script);
    s << R"(import math, re, sys
x, y = 0.7, -1.3
def ev(t):
    toks = re.findall(r'\d+\.?\d*|\*\*|[a-z]+|[-+*/()]', t); pos = [0]
    def peek(): return toks[pos[0]] if pos[0] < len(toks) else None
    def take(): pos[0] += 1; return toks[pos[0] - 1]
    def expression():
        sign = -1 if peek() == '-' else 1
        if peek() in ('-', '+'): take()
        v = sign * term()
        while peek() in ('+', '-'): v = v + term() if take() == '+' else v - term()
        return v
    def term():
        v = factor()
        while peek() in ('*', '/'): v = v * factor() if take() == '*' else v / factor()
        return v
    def factor():
        v = primary()
        while peek() == '**': take(); v = v ** primary()
        return v
    def primary():
        t = take()
        if t == '(':
            v = expression(); take(); return v
        if t in ('sin', 'cos', 'abs'):
            take(); v = expression(); take()
            return {'sin': math.sin, 'cos': math.cos, 'abs': abs}[t](v)
        return {'x': x, 'y': y}[t] if t in ('x', 'y') else float(t)
    return expression()
for line in open(sys.argv[1]):
    try: print(repr(ev(line.strip())))
    except (ZeroDivisionError, OverflowError): print('nan')
)";
  }
  ASSERT_EQ(system(("python3 " + script + " " + list + " > " + out).c_str()), 0);
  std::ifstream in(out);
  int compared = 0;
  for (auto &e : exprs) {
    double want = NAN;
    std::string w;
    std::getline(in, w);
    want = std::stod(w);
    if (!std::isfinite(want) || std::fabs(want) > 1e12) continue;
    ASSERT_EQ(parse("DEFINITIONS a = " + e), "ok") << e;
    EXPECT_NEAR(value_at(p, x, y), want, 1e-9 * std::max(1.0, std::fabs(want))) << e;
    compared++;
  }
  EXPECT_GT(compared, 900);
}

TEST_F(Actions, ExpressionEdgeCases) {
  const Case cases[] = {
      {"DEFINITIONS a = sin(x, y)", "Wrong Number of Arguments @1:26"},
      {"DEFINITIONS a = max(x)", "Wrong Number of Arguments @1:23"},
      {"VARIABLES u DEFINITIONS a = eval(u, 1, 2) b = eval(u, 1, 2, 3)", "ok"},
      {"DEFINITIONS a = r + theta r = 2", "MULTIPLY DEFINED @1:28"},
      {"DEFINITIONS a = bessj(x, 1)", "CONSTANT REQUIRED @1:24"},
      {"DEFINITIONS a = bessj(-1, x)", "Illegal argument @1:25"},
      {"DEFINITIONS a = bessj(2, x)", "ok"},
      {"DEFINITIONS a = b", "UNDEFINED NAME @1:18"},
      {"DEFINITIONS a = (IF x > 0 THEN 1)", "'ELSE' Clause Required. @1:33"},
      {"DEFINITIONS f(a, b, c, d) = a", "Wrong Number of Arguments @1:25"},
      {"DEFINITIONS f(a) = 'text' b = f(1)", "ILLEGAL USE OF STRING FUNCTION @1:32"},
      {"DEFINITIONS f(a, b) = a*b c = f(2) ", "Wrong Number of Arguments @1:35"},
      {"DEFINITIONS f(a, b) = a*b c = f(2, 3)", "ok"},
      {"DEFINITIONS f(a, b) = a*b b = f(2, 3) a = b", "ok"},  // names read as the scope closed
      {"DEFINITIONS a = 1 a = 2", "MULTIPLY DEFINED @1:20"},
      {"DEFINITIONS a = integral(1, 'core') + integral(x, 1, 2) + sintegral(1, 'a', 'b')", "ok"},
      {"DEFINITIONS a = line_integral(1, 1, 'b')", "Illegal argument @1:41"},
      {"DEFINITIONS a = aintegral(1, 1, 2)", "Wrong Number of Arguments @1:35"},
      {"DEFINITIONS a = sintegral(1, 'a', 'b', 'c')", "3D Only @1:44"},
      {"VARIABLES u DEFINITIONS a = val(u, 0.5, 0.5) + fit(u) + fit(u, 2) + globalmax_x(u)", "ok"},
      {"VARIABLES u v DEFINITIONS a = jacobian(u, 2)", "VARIABLE NAME REQUIRED @1:44"},
      {"SELECT ngrid = 2/(1-1)", "DIVIDE BY ZERO! @1:18"},  // a constant zero divisor
      // A bound the evaluator computes says a zero divisor in the evaluator's words.
      {"DEFINITIONS a = 0 REPEAT i = 1 TO 2/a", "DIVIDE BY ZERO @1:37"},
      {"DEFINITIONS f(a) = a*2 v = ARRAY(1, 2) REPEAT i = 1 TO f(2) + v(2)", "ok"},
      {"DEFINITIONS a a = a + 1 REPEAT i = 1 TO a", "CONSTANT REQUIRED @1:42"},
      {"VARIABLES y EQUATIONS div(grad(y)) = 0", "MULTIPLY DEFINED @1:22"},
      {"VARIABLES dxy EQUATIONS div(grad(dxy)) = 0", "MULTIPLY DEFINED @1:24"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(text), want) << text;
  ASSERT_EQ(parse("TITLE 'n' + $(2.9) + intstring(10/4) + $pi"), "ok");
  EXPECT_STREQ(p->title.text, "n223");
}

// STREAMLINE is a reserved word of the plots, so its call reaches the action only
// from a rule that hands it over; the action itself is checked here.
TEST_F(Actions, StreamlineCall) {
  ASSERT_EQ(parse("VARIABLES u EQUATIONS div(grad(u)) = 0"), "ok");
  String name = {};
  strings_copyto_1(&name, "STREAMLINE");
  parse_node call = {}, open = {}, arg = {}, close = {}, result = {};
  call.id = symtab_lookupid(symtab_optree, &name, strings_hashfn_0(&name));
  strings_free_0(&name);
  ASSERT_NE(call.id, nullptr);
  close.loc = {1, 7, 3};
  parse_node *v[5] = {&result, &call, &open, &arg, &close};
  for (uint32_t section : {4u, 1u}) {
    arg.tree = trees_new_0(op::xcoord);
    result = call;
    rdexpr_section = section;
    TRACE("call");
    HookScope hook;
    int code = except_catch("call", [&] { rdexpr_fcall1(&result, v); });
    EXPECT_EQ(code != 0, section != 4);
    if (section == 4) {
      EXPECT_EQ(result.tree->opcode, op::realzero);
      EXPECT_EQ(rdexpr_streamline->opcode, op::xcoord);
      trees_free_0(result.tree);
    } else {
      trees_free_0(arg.tree);
    }
  }
  fflush(log);
  rewind(log);
  EXPECT_NE(slurp_stream(log).find("Line 3 ERROR: ALLOWED ONLY IN EQUATIONS"), std::string::npos);
  rdexpr_reset();
}

// A double of the coordinate-system action: the named system, three-dimensional here.
void coordinates(parse_node *, parse_node *const *v) {
  metrics_get_metric(&rdpde_problem->coords, &v[2]->id->name, 0, &rdpde_problem->coordnames);
}

TEST_F(Actions, IntegralsInThreeDimensions) {
  for (int c = 1; c <= ACPDE_CODES; c++)
    if (acpde_handler_names[c] && !strcmp(acpde_handler_names[c], "rdomain_coordspec0")) acpde_handlers[c] = coordinates;
  const Case cases[] = {
      {"COORDINATES cartesian3 DEFINITIONS a = line_integral(1)", "2D Only @1:56"},
      {"COORDINATES cartesian3 DEFINITIONS a = sintegral(1, 'a', 'b', 'c') + r", "ok"},
      {"COORDINATES cartesian3 DEFINITIONS a = sum(i, 1, 3, i) i = 2", "ok"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(text), want) << text;
  EXPECT_EQ(p->dimension, 3);
  EXPECT_EQ(p->formulas.fits.count, 0);
}

// Trees deeper than the limit are refused where they are built.
TEST_F(Actions, DeepTrees) {
  std::string nested = "DEFINITIONS a = ", sum = "DEFINITIONS a = x";
  // Lines of a thousand terms each.
  for (int k = 0; k < 100000; k++) nested += k % 1000 ? "-(" : "\n-(";
  nested += "x";
  for (int k = 0; k < 100000; k++) nested += k % 1000 ? ")" : "\n)";
  for (int k = 0; k < 100000; k++) sum += k % 1000 ? "+x" : "\n+x";
  EXPECT_EQ(parse(nested).substr(0, 29), "Expression nested too deeply ");
  EXPECT_EQ(parse(sum).substr(0, 29), "Expression nested too deeply ");
  std::string fine = "DEFINITIONS a = x";
  for (int k = 0; k < 3000; k++) fine += "+x";
  EXPECT_EQ(parse(fine), "ok");
  EXPECT_NEAR(value_at(p, 1, 0), 3001, 1e-9);
}

// A double of the point action records each point's first number.
std::vector<double> points;
void record_point(parse_node *, parse_node *const *v) { points.push_back(rdexpr_constize(v[2])); }

TEST_F(Actions, RepeatLoops) {
  for (int c = 1; c <= ACPDE_CODES; c++)
    if (acpde_handler_names[c] && !strcmp(acpde_handler_names[c], "rdomain_defpoint")) acpde_handlers[c] = record_point;
  auto run = [&](const std::string &header) {
    points.clear();
    std::string r = parse("BOUNDARIES REGION 1 START(0,0)\n" + header + " LINE TO (i, 0) ENDREPEAT LINE TO FINISH");
    std::string s = r;
    for (double x : points) s += " " + std::to_string(x).substr(0, 3);
    return s;
  };
  const Case cases[] = {
      {"REPEAT i = 1 TO 3", "ok 0.0 1.0 2.0 3.0"},
      {"REPEAT i = 3 TO 1", "ok 0.0 3.0"},
      {"REPEAT i = 0 BY 0.5 TO 1", "ok 0.0 0.0 0.5 1.0"},
      {"REPEAT i = 3 TO 1 BY -1", "ok 0.0 3.0 2.0 1.0"},
      {"REPEAT i = 1 BY 0 TO 3", "Zero loop increment @2:18 0.0"},
      {"REPEAT i = 1e20 TO 2e20", "Zero loop increment @2:9 0.0"},
      {"FOR i = 1 TO 3", "FOR..ENDFOR has been renamed to REPEAT..ENDREPEAT @2:4 0.0"},
  };
  for (auto [header, want] : cases) EXPECT_EQ(run(header), want) << header;
  verdat_macro = 1;
  EXPECT_EQ(run("REPEAT i = 1 TO 3"), "ok 0.0 1.0 2.0 3.0");
  verdat_macro = 0;
  EXPECT_EQ(parse("DEFINITIONS ENDREPEAT"), "Unmatched ENDREPEAT @1:22");
  EXPECT_EQ(parse("DEFINITIONS a = 1 REPEAT a = 1 TO 2 ENDREPEAT"), "MULTIPLY DEFINED @1:27");
  EXPECT_EQ(parse("DEFINITIONS REPEAT i = 1 TO 2 b = i ENDREPEAT"), "MULTIPLY DEFINED @1:32");
}

TEST_F(Actions, Sections) {
  const Case cases[] = {
      {"VARIABLES u v EQUATIONS v: div(grad(v)) = 0 u: div(grad(u)) = 1", "ok"},
      {"VARIABLES u v w EQUATIONS u: div(grad(u)) = 0 w: div(grad(w)) = 1", "WRONG NUMBER OF EQUATIONS @1:26"},
      {"VARIABLES u v EQUATIONS v: div(grad(v)) = 0 div(grad(u)) = 1", "WRONG NUMBER OF EQUATIONS @1:24"},
      {"VARIABLES u v w EQUATIONS w: div(grad(w)) = 0 u: div(grad(u)) = 0 div(grad(v)) = 1", "Equations count mismatch @1:83"},
      {"VARIABLES u EQUATIONS div(grad(u)) = 0 CONSTRAINTS u = 1", "INTEGRAL CONSTRAINTS ONLY @1:53"},
      {"VARIABLES u EQUATIONS div(grad(u)) = 0 CONSTRAINTS integral(u) = 1", "ok"},
      {"SELECT stages = 3 DEFINITIONS a = STAGED(1, 2)", "NOT ENOUGH STAGE VALUES. @1:47"},
      {"DEFINITIONS a = STAGED(1, 2) b = a*t", "Staged Problems Cannot Be Time Dependent. @1:37"},
      {"VARIABLES u DEFINITIONS t = 1 EQUATIONS dt(u) = 0", "Duplicate use of time variable T @1:26"},
      {"VARIABLES u(RANGE = -1, 2*pi) u", "MULTIPLY DEFINED @1:32"},
      {"VARIABLES u(r)", "CONSTANT REQUIRED @1:14"},
      {"VARIABLES u INITIAL VALUES u = 1 v = 2", "VARIABLE NAME REQUIRED @1:35"},
      {"DEFINITIONS a = ARRAY(1, 2, x)", "CONSTANT REQUIRED @1:30"},
      {"DEFINITIONS a = ARRAY(1, 2, 3) b = a(2) + sum(i, 1, 3, a(i))", "ok"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(text), want) << text;
  ASSERT_EQ(parse("VARIABLES u v EQUATIONS v: div(grad(v)) = 0 u: div(grad(u)) = 1"), "ok");
  EXPECT_EQ(p->formulas.equations.items[0]->tree->child[1]->value, 1);  // u's equation first
  ASSERT_EQ(parse("VARIABLES u(RANGE = -1, 2*pi) (ERRWEIGHT 3) SCALAR VARIABLES s"), "ok");
  EXPECT_EQ(p->vars.items[0].low, -1);
  EXPECT_NEAR(p->vars.items[0].width, 1 + 2 * M_PI, 1e-12);
  EXPECT_EQ(p->vars.items[0].errweight, 3);
  EXPECT_EQ(p->nfield * 10 + p->nscalar, 11);
  ASSERT_EQ(parse("SELECT stages = 2 DEFINITIONS a = STAGED(1, 2, 3)"), "ok");
  EXPECT_EQ(p->stages * 10 + p->maxstages, 23);
  // Regional definitions need a global one first.
  EXPECT_EQ(parse("BOUNDARIES REGION 1 k = 2"), "UNDEFINED NAME @1:22");
  EXPECT_EQ(parse("DEFINITIONS k = 1 BOUNDARIES REGION 1 k = 2 k = 3"), "MULTIPLY DEFINED @1:46");
}

TEST_F(Actions, EveryExampleParses) {
  int n = 0;
  for (auto &f : std::filesystem::directory_iterator(QUENDAR_EXAMPLES))
    if (f.path().extension() == ".pde") {
      std::ifstream in(f.path());
      std::string text((std::istreambuf_iterator<char>(in)), {});
      EXPECT_EQ(parse(text), "ok") << f.path();
      n++;
    }
  EXPECT_GT(n, 0);
  EXPECT_EQ(p->formulas.equations.count, 1);
}

}  // namespace
