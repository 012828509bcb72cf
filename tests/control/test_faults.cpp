// Whole runs of descriptors that once went wrong in the reader (tests/data/reader): each
// gives its located error, or its reported values, as a user running it would see.
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "tests/control/doubles.h"

namespace {

namespace fs = std::filesystem;

struct Faults : ProgramRun {
  // Copies the descriptor and the files it reads (a folder NAME.d beside it, when there
  // is one) into the test directory and runs it in batch mode; the exit code.
  int run(const std::string &name, const std::string &options = "-B -R -X") {
    fs::path data = fs::path(QUENDAR_DATA) / "reader";
    fs::copy_file(data / (name + ".pde"), fs::path(dir) / (name + ".pde"), fs::copy_options::overwrite_existing);
    if (fs::is_directory(data / (name + ".d")))
      fs::copy(data / (name + ".d"), dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return shell("'" QUENDAR_EXE "' " + options + " " + name + ".pde");
  }
  std::string log(const std::string &name) { return slurp(dir + "/" + name + ".log"); }
  // "label= value" lines of the summary files of name, by label.
  std::map<std::string, double> report(const std::string &name) {
    std::map<std::string, double> out;
    for (const auto &e : fs::directory_iterator(dir)) {
      std::string f = e.path().filename().string();
      if (f.rfind(name + ".p", 0) != 0) continue;
      std::istringstream in(slurp(e.path().string()));
      std::smatch m;
      for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, m, std::regex("^ *(\\w+)= (\\S+)"))) out[m[1]] = std::atof(m[2].str().c_str());
    }
    return out;
  }
};

// A count, size or tolerance out of its range, and an integral selecting nothing, is
// one located error at its line; nothing reaches the mesher or the solver.
TEST_F(Faults, OutOfRangeValuesAndEmptySelectionsAreLocated) {
  const std::pair<const char *, const char *> cases[] = {
      {"bint_path7", "Line 11 ERROR: Can't Find Boundary 7"},
      {"bint_region9", "Line 11 ERROR: Can't Find Region 9"},
      {"bint_outer_region5", "Line 11 ERROR: Can't Find Region 5"},
      {"contour_points1", "Line 12 ERROR: POINTS must be 2 to 65535"},
      {"contourgrid0", "Line 3 ERROR: CONTOURGRID must be 2 to 32767"},
      {"errlim0", "Line 3 ERROR: ERRLIM must be above 0"},
      {"order5", "Line 3 ERROR: ORDER must be 1 to 3"},
  };
  for (const auto &[name, error] : cases) {
    EXPECT_EQ(run(name), 1) << name << out();
    EXPECT_NE(log(name).find(error), std::string::npos) << log(name);
  }
}

// V216INTEGRAL leaves the angular factor out of the integrals of a cylinder: the surface
// integral of 1 round the unit square in (r, z) is the integral of r, 2 (not 4 pi).
TEST_F(Faults, V216IntegralDropsTheAngularFactor) {
  ASSERT_EQ(run("v216_sintegral"), 0) << out();
  auto s = report("v216_sintegral");
  EXPECT_NEAR(s.at("si"), 2.0, 1e-9);
  EXPECT_NEAR(s.at("vol"), 1.0, 1e-9);
  EXPECT_NEAR(s.at("ir"), 0.5, 1e-9);
}

}  // namespace
