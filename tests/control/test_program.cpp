// The quendar program itself, started as a process in a fresh temporary directory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/control/run_doubles.h"

namespace {

struct Program : ::testing::Test {
  std::string dir;
  void SetUp() override {
    char t[] = "/tmp/quendar-prog-XXXXXX";
    dir = mkdtemp(t);
    ASSERT_EQ(mkdir((dir + "/tmp").c_str(), 0700), 0);
  }
  void TearDown() override {
    if (chdir("/") != 0) ADD_FAILURE() << "chdir";
    std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << cmd;
  }
  // Runs quendar with the words in the test directory; returns its exit code.
  int run(const std::string &words) {
    std::string cmd = "cd '" + dir + "' && TMPDIR='" + dir + "/tmp' '" QUENDAR_EXE "' " + words +
                      " >'" + dir + "/out.txt' 2>&1";
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::vector<std::string> lines(const std::string &file) {
    std::istringstream in(slurp(dir + "/" + file));
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
};

}  // namespace

TEST_F(Program, DebugLogOfABatchParseOnlyRun) {
  write_file(dir + "/heat.pde", "TITLE 'heat'\nEND\n");
  EXPECT_EQ(run("-B -X -P heat.pde"), 0) << slurp(dir + "/out.txt");
  std::vector<std::string> dbg = lines("tmp/quendar.dbg");
  ASSERT_GE(dbg.size(), 4u);
  // x87 control word after the runtime's setting: precision 64 bits (bits 8-9),
  // the reserved bit 6, every exception masked but divide by zero and overflow.
  EXPECT_EQ(dbg[0].substr(0, 20), "FP_CW[1]=373  FP_STA") << dbg[0];
  EXPECT_TRUE(std::regex_match(dbg[0], std::regex("FP_CW\\[1\\]=373  FP_STATUS=[0-9a-f]+"))) << dbg[0];
  EXPECT_EQ(dbg[1], "FP_CW[2]=373");
  EXPECT_EQ(dbg[2], "PARAM COUNT=4");
  EXPECT_EQ(dbg[3], "Quendar Version 2.20d  15:00:39 4/8/01");
  // The problem's own log: version, start line, the reader's absence, the end.
  std::vector<std::string> log = lines("heat.log");
  ASSERT_GE(log.size(), 5u) << slurp(dir + "/heat.log");
  EXPECT_EQ(log[0], "Quendar Version 2.20d  15:00:39 4/8/01");
  EXPECT_EQ(log[1], "");
  EXPECT_EQ(log[2].rfind("START " + dir + "/heat.pde  ", 0), 0u) << log[2];
  EXPECT_TRUE(std::regex_match(log[3], std::regex(" \\d+:\\d\\d\\| ERROR: Descriptor reader not available"))) << log[3];
  EXPECT_TRUE(std::regex_match(log[4], std::regex(" \\d+:\\d\\d\\| TERMINATED"))) << log[4];
  EXPECT_EQ(log.back(), "END");
}

TEST_F(Program, MissingDescriptorInBatch) {
  EXPECT_EQ(run("-B -X nothere.pde"), 0) << slurp(dir + "/out.txt");
  EXPECT_NE(slurp(dir + "/out.txt").find("No Input File: " + dir + "/nothere.pde"), std::string::npos)
      << slurp(dir + "/out.txt");
}

TEST_F(Program, NoArgumentsEndsWithoutWaiting) {
  EXPECT_EQ(run(""), 0) << slurp(dir + "/out.txt");
  EXPECT_EQ(lines("tmp/quendar.dbg").at(2), "PARAM COUNT=0");
}

TEST_F(Program, UnwritableTemporaryDirectoryStopsAtStart) {
  std::string cmd = "cd '" + dir + "' && TMPDIR='" + dir + "/none' '" QUENDAR_EXE "' >'" + dir + "/out.txt' 2>&1";
  int status = system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(slurp(dir + "/out.txt").find("Can't create " + dir + "/none/quendar.dbg"), std::string::npos)
      << slurp(dir + "/out.txt");
}
