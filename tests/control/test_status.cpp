// How a run ends, seen as a user sees it: the run log, the exports and the exit code,
// with no display and no batch option as well as in batch.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>

#include "tests/control/doubles.h"
#include "tests/xvfb.h"

namespace {

struct Ending : ProgramRun {
  // Runs quendar without a display on the words; its exit code.
  int run(const std::string &words) {
    return shell("env -u DISPLAY TMPDIR='" + dir + "' prlimit --cpu=120 timeout 1200 '" QUENDAR_EXE "' " + words);
  }
  void copy(const std::string &name) {
    spit(dir + "/" + name + ".pde", slurp(QUENDAR_DATA "/status/" + name + ".pde"));
  }
  // A text file of the run with every time prefix written "T| " and the folder "DIR/".
  std::string text(const std::string &file) {
    std::string s = std::regex_replace(slurp(dir + "/" + file), std::regex(R"((^|\n) \d+:\d\d(:\d\d)?\| )"), "$1T| ");
    for (size_t k; (k = s.find(dir + "/")) != std::string::npos;) s.replace(k, dir.size() + 1, "DIR/");
    return s;
  }
};

// Each case: the words it runs with, its exit code, and texts a file of the run must
// hold (its log when no file is named); "!text" is a text it must not hold.
struct Case {
  const char *name, *words;
  int rc;
  std::vector<std::string> log;
  const char *file = nullptr;
  const char *full = nullptr;  // a file of the run put on a full disk
};

TEST_F(Ending, FailuresEndInTheLogAndTheExitCode) {
  // clang-format off
  const Case cases[] = {
      // No display and no B: reported as in batch, not left waiting in an editor.
      {"parse_error_no_display", "-R -X", 1, {"*\n           Line 4 ERROR: Illegal Symbol\nT| TERMINATED\nEND\n"}},
      {"divide_by_zero_definition", "-R -X", 1, {"ERROR: DIVIDE BY ZERO!\n", "\nT| TERMINATED\nEND\n"}},
      {"parse_error_no_display", "-R", 1, {"Line 4 ERROR: Illegal Symbol\nT| TERMINATED\nEND\n"}},
      // A descriptor that is not there still gets its run log.
      {"nothere", "-B -R -X", 1, {"START DIR/nothere.pde  ", "T|  ERROR: No Input File: DIR/nothere.pde\nT| TERMINATED\nEND\n"}},
      // Newton that cannot converge on the last grid (the problem has no steady state: the
      // iteration ends on its divergence test or its step limit): the answer is reported,
      // marked, and the exit code is the one of an unconverged run.
      {"no_steady_state_done", "-B -R -X", QUENDAR_UNCONVERGED, {"T| NEWTON ", ": NOT CONVERGED\nT| --DONE--\n"}},
      {"no_steady_state_done", "-R -X", QUENDAR_UNCONVERGED, {"}\n u_right=", "Title: Radiating strip\nNEWTON ", ": NOT CONVERGED\n}\n"}, "strip_sum.txt"},
      // A grid limit that ends a steady run with cells above ERRLIM names the variables whose
      // own estimates stand there (it named none).
      {"stokes_cavity_grid_limit", "-B -R -X", QUENDAR_UNCONVERGED,
       {"T| GRID LIMIT: ERRLIM not met: U in ", " cells, V in ", " cells\nT| GRID LIMIT: NOT CONVERGED\nT| --DONE--\n"}},
      // A Newton step so far out (a source of 1e30 in a coupled nonlinear system) that its
      // slope overflows ends as a diverged iteration (it ended "ERROR: Floating-Point Overflow"
      // at no line).
      {"newton_step_overflow", "-B -R -X", QUENDAR_UNCONVERGED, {"T| NEWTON DIVERGED: NOT CONVERGED\nT| --DONE--\nEND\n"}},
      // A residual that is not a number is an error, never an answer.
      {"nan_newton_done", "-B -R -X", 1, {"T| ERROR: Solution Diverged", "T| TERMINATED\nEND\n", "!--DONE--"}},
      // Files that do not reach the disk fail the run in the system's words.
      {"eigen_listing", "-B -R -X", 1,
       {"T| ERROR: Can't Write Eigenvalue File DIR/eigen_listing.eig: No space left on device\nT| TERMINATED\n"},
       nullptr, "eigen_listing.eig"},
      {"summary_full", "-B -R -X", 1,
       {"T| ERROR: Can't Write Export File DIR/sum.txt: No space left on device\nT| TERMINATED\n"}, nullptr, "sum.txt"},
      {"summary_full", "-B -R -X", 1,
       {"T| ERROR: Can't Write Export File DIR/table.txt: No space left on device\nT| TERMINATED\n"}, nullptr, "table.txt"},
      // A region of no area beside a good one is refused where it starts.
      {"fence", "-B -R -X", 1, {"*\n           Line 11 ERROR: Region 2 has no area\nT| TERMINATED\n"}},
      // A coordinate no geometry can be built on is refused at its line.
      {"coordinate_range", "-B -R -X", 1, {"*\n           Line 9 ERROR: COORDINATE OUT OF RANGE\nT| TERMINATED\nEND\n"}},
      // So is an arc whose centre or radius lies past what its construction can square.
      {"arc_range", "-B -R -X", 1, {"*\n           Line 10 ERROR: Arc too large (over 1e150)\nT| TERMINATED\nEND\n"}},
      // A surface height past what the mesh holds, the same at the surface's line.
      {"surface_range", "-B -R -X", 1, {"*\n           Line 11 ERROR: COORDINATE OUT OF RANGE\nT| TERMINATED\nEND\n"}},
      // A source, a coefficient or a value near the largest number overflows the system of
      // its variable: reported at the line of that variable's equation.
      {"source_overflow", "-B -R -X", 1, {"*\n           Line 8 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // A source in range whose sum over a large cell overflows: at its equation's line.
      {"source_sum_overflow", "-B -R -X", 1, {"*\n           Line 7 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"coefficient_overflow", "-B -R -X", 1, {"*\n           Line 9 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"value_overflow", "-B -R -X", 1, {"*\n           Line 7 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"value_overflow_pair", "-B -R -X", 1, {"*\n           Line 8 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // The same at the extremes of a time run's start, a scalar's equation, an
      // eigenvalue sweep and a drawing: each at the line that caused it.
      {"start_overflow", "-B -R -X", 1, {"*\n           Line 5 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"scalar_integral_overflow", "-B -R -X", 1, {"*\n           Line 8 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"eigen_mass_overflow", "-B -R -X", 1, {"*\n           Line 6 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // A coupling near the largest number in an eigenvalue run, whose ranges are alike: at
      // the line of the equation that holds it.
      {"eigen_coupling_overflow", "-B -R -X", 1, {"*\n           Line 12 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // A source near the largest number in a 3D eigenvalue run: at its equation's line.
      {"eigen_source_overflow", "-B -R -X", 1, {"*\n           Line 22 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"plot_zoom_overflow", "-B -R -X", 1, {"*\n           Line 9 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // A reported integral whose sum over the cells overflows, at the integral's line.
      {"report_integral_overflow", "-B -R -X", 1, {"*\n           Line 13 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      {"start_jump_overflow", "-B -R -X", 1, {"*\n           Line 6 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // An elevation path reaching 1e300 is drawn where it crosses the domain.
      {"elevation_far_end", "-B -R -X", 0, {"T| --DONE--\nEND\n"}},
      // A node block of the coupled preconditioner that cannot be inverted names no routine.
      {"reaction_singular_block", "-B -R -X", 1, {"T| ERROR: Singular Block\nT| TERMINATED\nEND\n"}},
      // A periodic side whose image has no segment of its own is refused where it is written.
      {"periodic_split_image", "-B -R -X", 1, {"*\n           Line 9 ERROR: Periodic Boundaries Don't Match\nT| TERMINATED\nEND\n"}},
      // A region drawn only as the hole it excludes makes no cell: it is refused at its line.
      {"exclude_only_region", "-B -R -X", 1, {"*\n           Line 8 ERROR: Region 1 has no area\nT| TERMINATED\nEND\n"}},
      // A constraint's value near the largest number: at the constraint.
      {"constraint_value_overflow", "-B -R -X", 1, {"*\n           Line 8 ERROR: Floating-Point Overflow\nT| TERMINATED\nEND\n"}},
      // A periodic map that carries its segment onto itself: at the map.
      {"periodic_onto_itself", "-B -R -X", 1,
       {"*\n           Line 9 ERROR: Periodic Boundaries Don't Match\nT| TERMINATED\nEND\n"}},
      // Boundaries with no region but the hole EXCLUDE draws: at the EXCLUDE.
      {"exclude_only_hole", "-B -R -X", 1,
       {"*\n           Line 8 ERROR: No REGION Specified: EXCLUDE only removes area\nT| TERMINATED\nEND\n"}},
      // A spacing of 1e-12 on a unit side lays 1e12 nodes on it: past the node limit, refused
      // before the count overflows the node numbers.
      {"spacing_below_grid", "-B -R -X", 1,
       {"T| ERROR: The first mesh needs at least 999999999999 nodes, more than NODELIMIT = 1000000\nT| TERMINATED\nEND\n"}},
      // A spacing every side can hold that fills its region past the node limit (a region's
      // own density, a whole square's spacing) is refused from its count before a node is
      // laid, not after the front ran until it stalled.
      {"region_spacing_past_limit", "-B -R -X", 1,
       {"T| ERROR: The first mesh needs at least ", " nodes, more than NODELIMIT = 1000000\nT| TERMINATED\nEND\n"}},
      // A density whose spacing squared is below the smallest double: refused as well, with a
      // count that leaves the whole limit in the error's text.
      {"region_density_past_doubles", "-B -R -X", 1,
       {"T| ERROR: The first mesh needs at least 9999999999999 nodes, more than NODELIMIT = 1000000\nT| TERMINATED\nEND\n"}},
      // A circle of radius 1e30 about a unit square: spacings of nothing beside its sides.
      {"circle_radius_1e30", "-B -R -X", 1,
       {"T| ERROR: The first mesh needs at least 9999999999999 nodes, more than NODELIMIT = 1000000\nT| TERMINATED\nEND\n"}},
      {"spacing_past_limit", "-B -R -X", 1,
       {"T| ERROR: The first mesh needs at least ", " nodes, more than NODELIMIT = 1000000\nT| TERMINATED\nEND\n"}},
      // An error limit near the largest number is as no limit at all.
      {"errlim_huge", "-B -R -X", 0, {"T| --DONE--\nEND\n"}},
      {"errlim_huge", "-B -R -X", 0, {"\n val(u,0.5,0.5)= 0.5\n"}, "huge_sum.txt"},
      // With no display and no X a finished problem is closed as with X: its log ends.
      {"errlim_huge", "-R", 0, {"T| --DONE--\nEND\n"}},
  };
  // clang-format on
  for (const Case &c : cases) {
    if (std::string(c.name) != "nothere") copy(c.name);
    for (const char *f : {"eigen_listing.eig", "sum.txt", "table.txt", "huge_sum.txt"}) unlink((dir + "/" + f).c_str());
    if (c.full) {
      ASSERT_EQ(symlink("/dev/full", (dir + "/" + c.full).c_str()), 0);
    }
    EXPECT_EQ(run(std::string(c.words) + " " + c.name + ".pde"), c.rc) << c.name << " " << c.words << "\n" << out();
    std::string log = text(c.file ? c.file : std::string(c.name) + ".log");
    for (const std::string &want : c.log) {
      if (want[0] == '!') EXPECT_EQ(log.find(want.substr(1)), std::string::npos) << c.name << "\n" << log;
      else EXPECT_NE(log.find(want), std::string::npos) << c.name << "\n" << log;
    }
  }
  // The caret counts characters, not the bytes of the UTF-8 text before it: it stands
  // where it stands on the same line written in ASCII.
  copy("utf8_caret");
  spit(dir + "/ascii_caret.pde", std::regex_replace(slurp(dir + "/utf8_caret.pde"), std::regex("déjà"), "deja"));
  auto caret = [&](const std::string &name) {
    EXPECT_EQ(run("-B -R -X " + name + ".pde"), 1);
    std::vector<std::string> log = lines(name + ".log");
    auto at = std::find_if(log.begin(), log.end(), [](const std::string &l) { return l.find(" = 0") != l.npos; });
    if (at == log.end() || at + 1 == log.end()) return std::string("none");
    return at[0] + "\n" + at[1].substr(0, at[1].find('*') + 1);
  };
  std::string ascii = caret("ascii_caret"), utf8 = caret("utf8_caret");
  EXPECT_EQ(std::regex_replace(utf8, std::regex("déjà"), "deja"), ascii);
  // A plot file that is not there fails a viewing run.
  EXPECT_EQ(run("-V nothere.pgx"), 1) << out();
  // A new plot file is readable by others as the run log is.
  struct stat pgx, runlog;
  ASSERT_EQ(stat((dir + "/fence.pgx").c_str(), &pgx), 0);
  ASSERT_EQ(stat((dir + "/fence.log").c_str(), &runlog), 0);
  EXPECT_EQ(pgx.st_mode & 0777, runlog.st_mode & 0777);
}

// A drawing a thousand billion billion times longer one way than the other ends in the
// system's words: a region whose corner is drawn at y = 1e30 under a kinked layer (the search
// for the layer's pinches sized a lattice past any memory and the run aborted).
TEST_F(Ending, FarDrawingsEndInTheSystemsWords) {
  const std::string square = "VARIABLES\n u\nEQUATIONS\n div(grad(u)) + 1 = 0\n";
  spit(dir + "/far_corner.pde", "TITLE 'far corner'\nCOORDINATES\n CARTESIAN3\n" + square +
                                    "EXTRUSION\n z = 0, max(0, x-0.5), 1\nBOUNDARIES\n SURFACE 1 VALUE(u)=0\n"
                                    " REGION 1\n  START(0,1e30) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
                                    " REGION 2\n  LAYER 2 VOID\n"
                                    "  START(0.2,0.2) LINE TO (0.4,0.2) TO (0.4,0.4) TO (0.2,0.4) TO FINISH\nEND\n");
  EXPECT_EQ(run("-B -R -X '" + dir + "/far_corner.pde'"), 1);
  EXPECT_NE(text("far_corner.log").find("Line 12 ERROR: Region 1 has no area"), std::string::npos)
      << text("far_corner.log");
  // A layer a million million times thicker than its base is wide: its columns need more
  // steps than the node limit allows, refused by their count before the points are spread
  // (the count overflowed 32 bits and the run ended, after seconds, in a tangled mesh).
  spit(dir + "/tall_layer.pde", "TITLE 'tall layer'\nCOORDINATES\n CARTESIAN3\n" + square +
                                    "EXTRUSION\n z = 0, 1e12\nBOUNDARIES\n SURFACE 1 VALUE(u)=0\n"
                                    " REGION 1\n  START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO "
                                    "FINISH\nEND\n");
  EXPECT_EQ(run("-B -R -X '" + dir + "/tall_layer.pde'"), 1);
  EXPECT_NE(text("tall_layer.log").find("ERROR: The first mesh needs at least"), std::string::npos)
      << text("tall_layer.log");
}

// A file that cannot be written whole (a file-size limit, a full disk) is no file at
// all: the run ends with the error in its log and END, and an earlier file of that
// name is left as it was; no temporary file stays behind.
TEST_F(Ending, FileSizeLimitLeavesNoPartOfAFile) {
  copy("file_limit");
  auto leftovers = [&] { return shell("ls '" + dir + "' | grep -q qtmp") == 0; };
  struct Limit {
    int kb;
    const char *error;
    const char *gone;
  } limits[] = {{400, "T| ERROR: Can't Write Export File DIR/big.tbl: File too large\nT| TERMINATED\nEND\n", "big.tbl"},
                {40, "T| ERROR: DIR/file_limit.pgx: File too large\nT| TERMINATED\nEND\n", "file_limit.pgx"}};
  for (const Limit &l : limits) {
    spit(dir + "/big.tbl", "old\n");
    unlink((dir + "/file_limit.pgx").c_str());
    EXPECT_EQ(shell("ulimit -f " + std::to_string(l.kb) + "; env -u DISPLAY timeout 120 '" QUENDAR_EXE "' -B -R -X '" +
                    dir + "/file_limit.pde'"),
              1)
        << l.kb << "\n"
        << out();
    std::string log = text("file_limit.log");
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), strlen(l.error))), l.error) << log;
    EXPECT_EQ(slurp(dir + "/big.tbl"), "old\n") << l.kb;
    if (std::string(l.gone) != "big.tbl") EXPECT_EQ(slurp(dir + "/" + l.gone), "<missing>") << l.kb;
    EXPECT_FALSE(leftovers()) << l.kb;
  }
  // Without the limit both files are written whole.
  EXPECT_EQ(run("-B -R -X file_limit.pde"), 0) << out();
  std::string table = slurp(dir + "/big.tbl");
  EXPECT_GT(std::count(table.begin(), table.end(), '\n'), 18000);  // 301 x 301 values, five to a line
  EXPECT_FALSE(leftovers());
}

// A disk that fills (a 64 KB file system of its own, mounted in a namespace of the
// test's; skipped where none can be made): an export written into a folder on it, or a
// run whose folder is on it, ends with the error in its log and END; an earlier export
// stays as it was and no part of a file, nor an empty one, is left.
TEST_F(Ending, FullDiskLeavesNoPartOfAFile) {
  if (shell("unshare -Urm sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt'") != 0)
    GTEST_SKIP() << "no file system can be mounted here: " << out();
  copy("full_disk");
  struct Row {
    const char *edit, *folder, *file, *error;
  } rows[] = {
      {"", "", "big.tbl",
       "T| ERROR: Can't Write Export File full/big.tbl: No space left on device\nT| TERMINATED\nEND\n"},
      {"CDF(u) POINTS=300 FILE='full/big.cdf'", "", "big.cdf",
       "T| ERROR: Can't Write Export File full/big.cdf: No space left on device\nT| TERMINATED\nEND\n"},
      // The plot file and the log on the full disk: the log gets its lines once the
      // unfinished plot file has given its room back.
      {"TABLE(u) POINTS=2", "full/", "full_disk.pgx",
       "T| ERROR: DIR/full/full_disk.pgx: No space left on device\nT| TERMINATED\nEND\n"},
  };
  for (const Row &r : rows) {
    std::string source = slurp(dir + "/full_disk.pde");
    if (*r.edit) source = std::regex_replace(source, std::regex("TABLE\\(u\\) POINTS=300 FILE='full/big.tbl'"), r.edit);
    spit(dir + "/run.pde", source);
    mkdir((dir + "/full").c_str(), 0755);
    // Inside the namespace: the disk mounted, an earlier file of the name, the run; then
    // what the disk holds copied out before the namespace (and the disk) ends.
    std::string f = std::string(r.folder) + "full_disk";
    int rc =
        shell("unshare -Urm sh -c \"mount -t tmpfs -o size=64k tmpfs full && echo old > full/" + std::string(r.file) +
              " && cp run.pde " + f + ".pde && cd ./" + r.folder + " && env -u DISPLAY TMPDIR='" + dir +
              "' timeout 120 '" QUENDAR_EXE "' -B -R -X '" + dir + "/" + f + ".pde'; rc=\\$?; cd '" + dir +
              "' && ls -a full > held.txt && cp full/" + r.file + " kept.txt; cp " + f + ".log run.log; exit \\$rc\"");
    EXPECT_EQ(rc, 1) << r.file << "\n" << out();
    std::string log = text("run.log");
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), strlen(r.error))), r.error) << log;
    EXPECT_EQ(slurp(dir + "/kept.txt"), "old\n") << r.file;
    // Only the earlier file, the descriptor and (for the run in the folder) its log.
    std::string held = slurp(dir + "/held.txt");
    EXPECT_EQ(held.find("qtmp"), std::string::npos) << held;
    EXPECT_EQ(std::count(held.begin(), held.end(), '\n'), *r.folder ? 5 : 3) << held;
  }
}

// An existing export that may not be written is left as it was: the run ends with the
// export's open error in its log and END, and leaves no temporary file. Run as root, the
// program runs under an unprivileged user, for whom the permissions hold.
TEST_F(Ending, ReadOnlyExportIsLeftAsItWas) {
  std::string as;
  if (geteuid() == 0) {
    if (shell("setpriv --reuid=65534 --regid=65534 --clear-groups true") != 0)
      GTEST_SKIP() << "no unprivileged user to run as: " << out();
    as = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    chmod(dir.c_str(), 0777);
  }
  copy("full_disk");
  struct Row {
    const char *edit, *file, *error;
  } rows[] = {
      {"TABLE(u) POINTS=30 FILE='big.tbl'", "big.tbl",
       "T| ERROR: Can't open Export File DIR/big.tbl\nT| TERMINATED\nEND\n"},
      {"CDF(u) POINTS=30 FILE='big.cdf'", "big.cdf", "T| ERROR: Can't open CDF output file\nT| TERMINATED\nEND\n"},
  };
  for (const Row &r : rows) {
    std::string source = slurp(dir + "/full_disk.pde");
    spit(dir + "/locked.pde",
         std::regex_replace(source, std::regex("TABLE\\(u\\) POINTS=300 FILE='full/big.tbl'"), r.edit));
    spit(dir + "/" + r.file, "old\n");
    chmod((dir + "/" + r.file).c_str(), 0444);
    EXPECT_EQ(shell("env -u DISPLAY TMPDIR='" + dir + "' timeout 120 " + as + "'" QUENDAR_EXE "' -B -R -X '" + dir +
                    "/locked.pde'"),
              1)
        << r.file << "\n"
        << out();
    std::string log = text("locked.log");
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), strlen(r.error))), r.error) << log;
    EXPECT_EQ(slurp(dir + "/" + r.file), "old\n") << r.file;
    EXPECT_NE(shell("ls | grep -q qtmp"), 0) << r.file;
    unlink((dir + "/" + r.file).c_str());
  }
}

// A netCDF file is written whole or not at all: under a file-size limit, or when an
// expression of its first output cannot be valued, the run ends with the error and
// END, an earlier file of that name stays as it was and no temporary file is left; a
// time run that fails after some outputs keeps a file of those records.
TEST_F(Ending, NetcdfFileIsWholeOrLeftAsItWas) {
  auto leftovers = [&] { return shell("ls '" + dir + "' | grep -q qtmp") == 0; };
  struct Row {
    const char *name, *limit, *file, *error;
  } rows[] = {
      {"cdf_limit", "ulimit -f 100; ", "big.cdf",
       "T| ERROR: Can't Write Export File DIR/big.cdf: File too large\nT| TERMINATED\nEND\n"},
      {"cdf_bad_value", "", "bad.cdf", "Line 12 ERROR: Log of negative number\nT| TERMINATED\nEND\n"},
  };
  for (const Row &r : rows) {
    copy(r.name);
    spit(dir + "/" + r.file, "old\n");
    EXPECT_EQ(shell(std::string(r.limit) + "env -u DISPLAY timeout 120 '" QUENDAR_EXE "' -B -R -X '" + dir + "/" +
                    r.name + ".pde'"),
              1)
        << r.name << "\n"
        << out();
    std::string log = text(std::string(r.name) + ".log");
    EXPECT_EQ(log.substr(log.size() - std::min(log.size(), strlen(r.error))), r.error) << log;
    EXPECT_EQ(slurp(dir + "/" + r.file), "old\n") << r.name;
    EXPECT_FALSE(leftovers()) << r.name;
  }
  copy("cdf_time_error");
  EXPECT_EQ(run("-B -R -X cdf_time_error.pde"), 1) << out();
  EXPECT_NE(text("cdf_time_error.log").find("Line 7 ERROR: Log of negative number\nT| TERMINATED\nEND\n"),
            std::string::npos);
  // The classic header: magic, then the record count, big-endian; three records of
  // 20 x 20 floats and their time follow the header.
  std::string cdf = slurp(dir + "/runs.cdf");
  ASSERT_GT(cdf.size(), 8u);
  EXPECT_EQ(cdf.substr(0, 4), std::string("CDF\x01", 4));
  EXPECT_EQ(cdf.substr(4, 4), std::string("\0\0\0\x03", 4));
  EXPECT_FALSE(leftovers());
}

// A line too long in a listed descriptor is reported in the list's log inside that
// descriptor's START ... END group, timed from its start.
TEST_F(Ending, LoadErrorInABatchListHasItsGroup) {
  spit(dir + "/long.pde", "TITLE 'x' {" + std::string(70000, 'y') + "}\nEND\n");
  spit(dir + "/list.pde", "BATCH long\nEND\n");
  EXPECT_EQ(run("-B -X list.pde"), 1) << out();
  std::string log = text("list.log");
  size_t y = log.find("yyy");
  log.replace(y, log.find_first_not_of('y', y) - y, "...");
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(\nSTART DIR/long\.pde  [^\n]*\nT\| TITLE 'x' \{\.\.\.\n +\*\n +Line 1 ERROR: Line longer than 65535 characters\nT\| TERMINATED\nEND\n$)")))
      << log;
}

// A batch list that names no descriptor, with END or without, ends normally: its log
// closes its START with END and the exit code is 0.
TEST_F(Ending, EmptyBatchListEndsItsLog) {
  for (const char *list : {"BATCH\n", "BATCH\nEND\n", "BATCH { nothing listed }\n"}) {
    spit(dir + "/empty.pde", list);
    unlink((dir + "/empty.log").c_str());
    EXPECT_EQ(run("-B -R -X empty.pde"), 0) << list << out();
    EXPECT_TRUE(std::regex_match(text("empty.log"), std::regex(R"([^]*\nSTART DIR/empty\.pde  [^\n]*\nEND\n)")))
        << list << text("empty.log");
  }
}

}  // namespace

namespace {

// A time run sent SIGTERM: its log holds every step completed until then, each line
// whole, then the error, TERMINATED and END; its plot file reads back; the exit code is
// the shell's for that signal.
TEST_F(Ending, TerminationRequestEndsTheRunInOrder) {
  std::string slab = std::regex_replace(slurp(QUENDAR_EXAMPLES "/slab.pde"), std::regex("TIME 0 TO 1"), "TIME 0 TO 1000");
  spit(dir + "/slab.pde", std::regex_replace(slab, std::regex("ERRLIM = 1e-4"), "ERRLIM = 1e-6"));
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(99);
    setenv("TMPDIR", dir.c_str(), 1);
    unsetenv("DISPLAY");
    freopen("/dev/null", "w", stdout);
    execl(QUENDAR_EXE, "quendar", "-B", "-R", "-X", "slab.pde", nullptr);
    _exit(98);
  }
  // Twenty steps logged, or a minute.
  for (int k = 0; k < 600 && slurp(dir + "/slab.log").find("Step 20 ") == std::string::npos; k++) usleep(100000);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  std::vector<std::string> log = lines("slab.log");
  ASSERT_GE(log.size(), 24u);
  int steps = 0;
  size_t k = 0;
  while (k < log.size() && log[k].find("| Step ") == std::string::npos) k++;
  for (; k < log.size() && log[k].find("| Step ") != std::string::npos; k++, steps++)
    EXPECT_TRUE(std::regex_match(log[k], std::regex(" \\d+:\\d\\d\\| Step " + std::to_string(steps + 1) + " Time=.* MEM=\\d+")))
        << log[k];
  EXPECT_GE(steps, 20);
  ASSERT_EQ(log.size(), k + 3);
  EXPECT_TRUE(std::regex_match(log[k], std::regex(" \\d+:\\d\\d\\| ERROR: Termination error"))) << log[k];
  EXPECT_TRUE(std::regex_match(log[k + 1], std::regex(" \\d+:\\d\\d\\| TERMINATED"))) << log[k + 1];
  EXPECT_EQ(log[k + 2], "END");
  std::string walk = dir + "/walk.txt";
  EXPECT_EQ(system(("python3 '" QUENDAR_DATA "/../plot/pgxwalk.py' -n '" + dir + "/slab.pgx' >'" + walk + "'").c_str()), 0)
      << slurp(walk);
}

}  // namespace

namespace {

// The memory count after each problem of a batch list is freed stays where the first
// problem left it, whatever ran between: the contour plots of its monitors give back
// what they traced, and the modules' work storage goes with the last open problem.
TEST_F(Ending, MemoryCountReturnsAfterEveryProblem) {
  const std::vector<std::vector<std::string>> lists = {
      std::vector<std::string>(8, "status/eigen_listing"),
      // A 3D problem and a time problem between: their work storage was kept, and the
      // same eigenvalue problem then left 400K, not 79K.
      {"status/eigen_listing", "extruded/ex2", "answers/integral_decay_in_time", "status/eigen_listing"},
      // The time stepper's reference residual of a linear problem stayed too.
      {"status/eigen_listing", "globals/decay_ce", "status/eigen_listing"},
      // So did the cut patterns of 3D plots and the table of netCDF files.
      {"status/eigen_listing", "plots/cube3", "plots/monitorcdf", "status/eigen_listing"},
  };
  for (const auto &names : lists) {
    std::string list = "BATCH";
    for (size_t k = 1; k <= names.size(); k++) {
      std::string name = "e" + std::to_string(k);
      spit(dir + "/" + name + ".pde", slurp(QUENDAR_DATA "/" + names[k - 1] + ".pde"));
      list += " " + name;
    }
    spit(dir + "/list.pde", list + "\nEND\n");
    ASSERT_EQ(run("-B -X list.pde"), 0) << out();
    std::string dbg = slurp(dir + "/quendar.dbg");
    std::vector<int> used;
    std::smatch m;
    for (auto i = dbg.cbegin(); std::regex_search(i, dbg.cend(), m, std::regex("AFTER FREE_PDE, MEMUSED=(\\d+)K"));
         i = m[0].second)
      used.push_back(std::stoi(m[1]));
    ASSERT_EQ(used.size(), names.size()) << dbg.substr(0, 400);
    // A problem run again leaves the count its first run left.
    for (size_t k = 1; k < used.size(); k++) {
      size_t first = std::find(names.begin(), names.end(), names[k]) - names.begin();
      EXPECT_EQ(used[k], used[first]) << names[k] << ", problem " << k + 1;
    }
  }
}

}  // namespace

namespace {

// The DOMAIN, EDGES, FEAT and FINDER debug switches write their modules' listings of a
// unit square (one region, one loop of four edges; at NGRID 10 every boundary sample
// wants spacing 0.1, the samples 1/15 apart; the finder's slabs a twentieth of the box
// wide); READ the variable's error weight as read, TREES the equation's diagram and
// TREEVAL the report's evaluation at a point (the centre of div(grad(u)) + 1 = 0 with
// u = 0 around it: 0.07367 by the series solution); without them the debug log holds none.
TEST_F(Ending, DebugSwitchesWriteTheirModulesListings) {
  struct Row {
    const char *debug;
    std::vector<std::string> in, out;
  };
  const std::string report = "2D DOMAIN has     1 Regions,     1 Loops,     0 Faces,     4 Edges,     4 Joints\n";
  const std::string loop = "\nLoop    1 has    4 Edges", edge4 = "\nEdge     4  Joints    4 to    1 ";
  const std::string feat = "FEATURES: 4 ITEMS, BASE SPACING 0.1, MIN SPACING 0.1\n",
                    samples = "EDGE 4 DISTANCES\n    1 |         0.00    0.066667    0.133333",
                    spacings = "EDGE 4 SPACINGS\n    1 |     0.100000    0.100000    0.100000    0.100000    0.100000",
                    finder = "FINDER: ", bins = " CELLS, BINS 20,20,0, WIDTHS 0.0501";
  const std::string errwt = "ERRWT VAR 1 = 1\n", equation = "EQUATION 1\n",
                    diagram = "|        D|        D|        U\n", eval = "EVAL AT (0.5,0.5,0) CELL ";
  const Row rows[] = {
      {"", {}, {report, loop, edge4, feat, finder, errwt, equation, eval}},
      {"DEBUG(DOMAIN)", {report, loop, edge4}, {feat, finder}},
      {"DEBUG(EDGES)", {loop, edge4}, {report}},
      {"DEBUG(FEAT)", {feat, samples, spacings}, {report, loop, finder}},
      {"DEBUG(FINDER)", {finder, bins, "SLABS Y[20]"}, {feat, loop}},
      {"DEBUG(READ)", {errwt}, {equation, eval}},
      {"DEBUG(TREES)", {equation, diagram}, {errwt, eval}},
      {"DEBUG(TREEVAL)", {eval, "= 0.07367"}, {errwt, equation}},
  };
  for (const Row &r : rows) {
    spit(dir + "/square.pde", std::string("SELECT ") + r.debug +
                                  "\nVARIABLES u(ERRWEIGHT=1)\nEQUATIONS div(grad(u)) + 1 = 0\nBOUNDARIES REGION 1\n"
                                  "  START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\n"
                                  "PLOTS SUMMARY REPORT val(u, 0.5, 0.5) REPORT eval(u, 0.5, 0.5)\nEND\n");
    ASSERT_EQ(run("-B -R -X square.pde"), 0) << out();
    std::string dbg = slurp(dir + "/quendar.dbg");
    for (const std::string &t : r.in) EXPECT_NE(dbg.find(t), std::string::npos) << r.debug << ": " << t;
    for (const std::string &t : r.out) EXPECT_EQ(dbg.find(t), std::string::npos) << r.debug << ": " << t;
  }
}

}  // namespace

namespace {

// An Xvfb on a display number it picks itself; 0 when there is none or it does not start.
pid_t start_display(std::string *display) {
  if (system("command -v Xvfb >/dev/null 2>&1") != 0) return 0;
  return start_xvfb(display);
}

// A request to end (SIGTERM) sent while the run refines, while a front that takes long
// advances and while an error box waits for the user: the run ends soon after, with
// the shell's code for the signal, and its log ends with one error, TERMINATED and END.
// The bound on the wait is loose (a loaded machine); before, these runs went on for
// tens of seconds, or for ever while the box waited.
TEST_F(Ending, TerminationIsHonouredWhereverTheRunIs) {
  std::string display;
  pid_t xvfb = start_display(&display);
  const struct {
    const char *name, *words, *ready;  // ready: a text of the log, or "" to wait a second
    bool screen;
  } cases[] = {
      {"term_refine", "-B -R -X", "GRID 3 ", false},
      {"term_front", "-B -R -X", "", false},
      {"term_box", "-R", "", true},
  };
  for (const auto &c : cases) {
    if (c.screen && !xvfb) {
      std::cout << "no Xvfb: " << c.name << " not run\n";
      continue;
    }
    copy(c.name);
    std::string log = dir + "/" + c.name + ".log";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (chdir(dir.c_str()) != 0) _exit(99);
      setenv("TMPDIR", dir.c_str(), 1);
      if (c.screen) setenv("DISPLAY", display.c_str(), 1);
      else unsetenv("DISPLAY");
      if (!freopen("/dev/null", "w", stdout)) _exit(97);
      std::string cmd = "exec '" QUENDAR_EXE "' " + std::string(c.words) + " " + c.name + ".pde";
      execl("/bin/sh", "sh", "-c", cmd.c_str(), nullptr);
      _exit(98);
    }
    // Started (and at the point asked for), or a minute.
    for (int k = 0; k < 600 && slurp(log).find("START ") == std::string::npos; k++) usleep(100000);
    if (*c.ready)
      for (int k = 0; k < 600 && slurp(log).find(c.ready) == std::string::npos; k++) usleep(100000);
    sleep(c.screen ? 3 : 1);
    ASSERT_EQ(kill(pid, SIGTERM), 0) << c.name;
    int status = 0, waited = 0;
    while (waitpid(pid, &status, WNOHANG) == 0 && waited < 300) usleep(100000), waited++;
    if (waited == 300) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << c.name << ": still running 30 s after the request";
      continue;
    }
    EXPECT_LE(waited, 100) << c.name << ": ended " << waited / 10.0 << " s after the request";
    ASSERT_TRUE(WIFEXITED(status)) << c.name;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << c.name;
    std::string text = slurp(log);
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(\n \d+:\d\d\| ERROR: Termination error\n \d+:\d\d\| TERMINATED\nEND\n$)")))
        << c.name << "\n"
        << text;
    size_t ends = 0;
    for (size_t k = 0; (k = text.find("TERMINATED", k)) != std::string::npos; k++) ends++;
    EXPECT_EQ(ends, 1u) << c.name << "\n" << text;
  }
  if (xvfb) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
}

}  // namespace

namespace {

// A line that starts with tabs is written with them laid out as blanks to stops of 8,
// and the caret stands where it stands on the same line written with those blanks.
TEST_F(Ending, CaretStandsUnderTheFaultAfterTabs) {
  auto caret = [&](const std::string &name, const std::string &indent) {
    spit(dir + "/" + name + ".pde",
         "TITLE 't'\nVARIABLES u\nEQUATIONS div(grad(u))+1=0\nBOUNDARIES REGION 1 START(0,0) "
         "VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nPLOTS\n" +
             indent + "CONTOUR(u) POINTS = 1\nEND\n");
    EXPECT_EQ(run("-B -R -X " + name + ".pde"), 1) << out();
    std::vector<std::string> log = lines(name + ".log");
    auto at = std::find_if(log.begin(), log.end(), [](const std::string &l) { return l.find("CONTOUR") != l.npos; });
    if (at == log.end() || at + 1 == log.end()) return std::string("none");
    // The line opens with the run's clock (" 0:01|"), which a slow run moves on: the
    // comparison reads the layout after it, the clock's width being the same.
    std::string line = at[0];
    std::size_t bar = line.find('|');
    if (bar != line.npos) line = std::string(bar, '#') + line.substr(bar);
    return line + "\n" + at[1];
  };
  std::string tabs = caret("tabs", "\t\t"), blanks = caret("blanks", std::string(16, ' '));
  EXPECT_EQ(tabs, blanks);
  EXPECT_EQ(tabs.find('\t'), std::string::npos) << tabs;
  // Where a tab stands after other text, it reaches the next stop of 8.
  EXPECT_EQ(caret("mixed", "ab\t"), caret("mixed8", "ab      "));
}

// Without a display and without -B a named problem cannot wait for Run to be pressed:
// it runs, its reports in its log, and the exit code says how it ended.
TEST_F(Ending, NoDisplayRunsTheProblemNamed) {
  spit(dir + "/plain.pde",
       "TITLE 'p'\nVARIABLES u\nEQUATIONS div(grad(u))+1=0\nBOUNDARIES REGION 1 START(0,0) VALUE(u)=0 "
       "LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH\nPLOTS SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'c'\nEND\n");
  EXPECT_EQ(run("plain.pde"), 0) << out();
  EXPECT_NE(text("plain.log").find("T| --DONE--\nEND\n"), std::string::npos) << text("plain.log");
  // Its plot file is there under its own name, not as a temporary file in its place.
  EXPECT_NE(slurp(dir + "/plain.pgx"), "<missing>");
  EXPECT_NE(shell("ls '" + dir + "' | grep -q qtmp"), 0) << shell("ls '" + dir + "'");
  // Asked to play the file back, it says why nothing is shown.
  EXPECT_EQ(run("-V plain.pgx"), 0);
  EXPECT_NE(out().find("no display to view"), std::string::npos) << out();
  // The summary names the problem's title.
  EXPECT_NE(slurp(dir + "/plain.p01").find("Title: p\n"), std::string::npos) << slurp(dir + "/plain.p01");
  // Asked only to open it, it says why nothing runs.
  EXPECT_EQ(run("-E plain.pde"), 0);
  EXPECT_NE(out().find("no display to edit"), std::string::npos) << out();
}

}  // namespace
