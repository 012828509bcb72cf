// The command line: options and the problem file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/except.h"
#include "runtime/rtlib.h"
#include "tests/control/doubles.h"

namespace {

using V = std::vector<std::string>;

struct CommandLine : RunFixture {
  std::vector<std::string> words;
  std::vector<char *> argv;
  // Reads the command line "quendar w1 w2 ..." after a clean start; returns the
  // problems opened as "name:runflag".
  V run(std::vector<std::string> w) {
    run_reset();
    words = w;
    words.insert(words.begin(), "quendar");
    argv.clear();
    for (std::string &s : words) argv.push_back(s.data());
    rtlib_startup(int(words.size()), argv.data());
    verdat_get_params();
    V out;
    for (int k = 1; k <= pdedat_count; k++)
      if (pdedat_table[k]->phase != 0)
        out.push_back(std::string(pdedat_table[k]->name.text) + ":" + std::to_string(pdedat_table[k]->runflag));
    return out;
  }
  void TearDown() override {
    rtlib_startup(0, nullptr);
    except_set_rearm_signals(true);
    RunFixture::TearDown();
  }
};

TEST_F(CommandLine, FilesAndTheirRunFlag) {
  const struct {
    V words, opened;
  } cases[] = {
      {{"-r", "/runs/a.pde"}, {"a:1"}},  {{"/R", "/runs/a.pde"}, {"a:1"}},
      {{"/runs/a.pde"}, {"a:0"}},        {{"-R", "-e", "/runs/a.pde"}, {"a:0"}},
      {{"/runs/first.pde", "/runs/second.pde"}, {"second:0"}},
      {{"/home/u/a.pde"}, {"a:0"}},      // an absolute path is a file, not an option
      {{"-b/x"}, {}},                    // "-" always introduces an option
      {{"-W2500"}, {}},
      {{"-V", "/runs/plot.pgx"}, {}},    // a plot file to view
      {{"-O", "/runs/start/"}, {}},      // where the open dialog starts
  };
  for (const auto &c : cases) EXPECT_EQ(run(c.words), c.opened) << c.words[0];
  EXPECT_STREQ(verdat_viewname.text, "/runs/plot.pgx");
  EXPECT_EQ(cwd_set.back(), "/runs/start/");
  run({"/runs/a.pde"});
  EXPECT_EQ(std::to_string(pdedat_table[1]->phase) + cwd_set.back(), "1/runs/");
}

TEST_F(CommandLine, OneLetterPathThatExistsIsAFile) {
  // An unknown option letter would be ignored; an existing path of that form opens.
  bool made = mkdir("/z", 0700) == 0;
  if (!made && errno != EEXIST) GTEST_SKIP() << "cannot create /z";
  V opened = run({"/z"});
  if (made) rmdir("/z");
  EXPECT_EQ(opened, (V{"z:0"}));
}

TEST_F(CommandLine, OptionLetters) {
  run({"-W2500"});
  EXPECT_EQ(pens, (std::vector<float>{2.5f}));
  run({"/w500"});
  EXPECT_EQ(pens, (std::vector<float>{0.5f}));
  run({"-M", "-m"});
  EXPECT_EQ(verdat_macro, 0);
  run({"/M", "/m", "-mx"});  // three toggles; "-mx" acts on its first letter
  EXPECT_EQ(verdat_macro, 1);
  run({"-B", "-P", "-X", "-N", "-Q", "-"});
  EXPECT_EQ(settings.batch + verdat_parseonly + verdat_exit + 10 * verdat_fullheight, 3);
  verdat_defsignals = 0;
  run({"-f", "-d"});
  EXPECT_EQ(verdat_fullheight * 10 + verdat_defsignals, 11);
}

TEST_F(CommandLine, LongWordsAreKeptWhole) {
  std::string name(300, 'n');
  EXPECT_EQ(run({"/runs/" + name + ".pde"}), (V{name + ":0"}));
}

}  // namespace
