// Version texts and the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/pdedat.h"
#include "control/verdat.h"
#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/control/doubles.h"
#include "tests/control/fixture.h"

namespace {

struct CommandLine : ControlFixture {
  std::vector<std::string> words;
  std::vector<char *> argv;
  // Reads the command line "quendar w1 w2 ...".
  void run(std::vector<std::string> w) {
    words = w;
    words.insert(words.begin(), "quendar");
    argv.clear();
    for (std::string &s : words) argv.push_back(s.data());
    argv.push_back(nullptr);
    rtlib_startup(int(words.size()), argv.data());
    verdat_get_params();
  }
  // The problems opened, as "name:runflag".
  std::vector<std::string> opened() {
    std::vector<std::string> out;
    for (int k = 1; k <= pdedat_count; k++)
      if (pdedat_table[k]->phase != 0)
        out.push_back(std::string(pdedat_table[k]->name.text) + ":" +
                      std::to_string(pdedat_table[k]->runflag));
    return out;
  }
  void TearDown() override {
    rtlib_startup(0, nullptr);
    except_set_rearm_signals(true);
    ControlFixture::TearDown();
  }
};

using V = std::vector<std::string>;

TEST_F(CommandLine, RunAtOnceWithEitherPrefixAndCase) {
  for (const char *opt : {"-r", "/R", "-R", "/r"}) {
    control_reset();
    run({opt, "/runs/a.pde"});
    EXPECT_EQ(opened(), (V{"a:1"})) << opt;
  }
}

TEST_F(CommandLine, FileAloneOpensInTheEditor) {
  run({"/runs/a.pde"});
  EXPECT_EQ(opened(), (V{"a:0"}));
  EXPECT_EQ(pdedat_table[1]->phase, 1);
  EXPECT_STREQ(pdedat_table[1]->directory.text, "/runs/");
  EXPECT_EQ(cwd_set.back(), "/runs/");
  control_reset();
  run({"-R", "-e", "/runs/a.pde"});  // E after R: the editor again
  EXPECT_EQ(opened(), (V{"a:0"}));
}

TEST_F(CommandLine, PenWidthOption) {
  run({"-W2500"});
  ASSERT_EQ(pens.size(), 1u);
  EXPECT_FLOAT_EQ(pens[0], 2.5f);
  run({"/w500"});
  ASSERT_EQ(pens.size(), 2u);
  EXPECT_FLOAT_EQ(pens[1], 0.5f);
  EXPECT_TRUE(opened().empty());
}

TEST_F(CommandLine, MacroToggles) {
  run({"-M", "-m"});
  EXPECT_EQ(verdat_macro, 0);
  run({"-M"});
  EXPECT_EQ(verdat_macro, 1);
  run({"/M", "/m", "-mx"});  // three toggles; "-mx" acts on its first letter
  EXPECT_EQ(verdat_macro, 0);
}

TEST_F(CommandLine, LastFileWins) {
  run({"/runs/first.pde", "/runs/second.pde"});
  EXPECT_EQ(opened(), (V{"second:0"}));
}

TEST_F(CommandLine, SlashWordsThatAreFilesStayFiles) {
  // An absolute path is a file, not an option.
  run({"/home/u/a.pde"});
  EXPECT_EQ(opened(), (V{"a:0"}));
  EXPECT_STREQ(pdedat_table[1]->directory.text, "/home/u/");
  control_reset();
  // A one-letter path that exists is a file too.
  run({"/tmp"});
  EXPECT_EQ(opened(), (V{"tmp:0"}));
  control_reset();
  // "-" always introduces an option, whatever follows.
  run({"-b/x"});
  EXPECT_EQ(verdat_batch, 1);
  EXPECT_TRUE(opened().empty());
}

TEST_F(CommandLine, ModeLetters) {
  run({"-B", "-P", "-X", "-N", "-Q", "-"});
  EXPECT_EQ(verdat_batch, 1);
  EXPECT_EQ(verdat_parseonly, 1);
  EXPECT_EQ(verdat_exit, 1);
  EXPECT_EQ(verdat_fullheight, 0);
  run({"-f", "-d"});
  EXPECT_EQ(verdat_fullheight, 1);
  EXPECT_EQ(verdat_defsignals, 1);
}

TEST_F(CommandLine, ViewAndOpenDialogTakeTheNameElsewhere) {
  run({"-V", "/runs/plot.pgx"});
  EXPECT_STREQ(verdat_viewname.text, "/runs/plot.pgx");
  EXPECT_TRUE(opened().empty());
  verdat_view = 0;
  run({"-O", "/runs/start/"});
  EXPECT_TRUE(opened().empty());
  EXPECT_EQ(cwd_set.back(), "/runs/start/");
}

TEST(Version, Texts) {
  strings_copyto_1(&verdat_product, "Quendar");
  verdat_get_version();
  EXPECT_STREQ(verdat_version.text, "2.20d");
  EXPECT_STREQ(verdat_prodversion.text, "Quendar 2.20d");
  EXPECT_STREQ(verdat_versionline.text, " Version 2.20d  15:00:39 4/8/01");
  EXPECT_STREQ(verdat_versiontext.text, "Quendar Version 2.20d  15:00:39 4/8/01");
}

}  // namespace
