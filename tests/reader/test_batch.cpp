// Batch lists: the entries a BATCH section names, their checks, and the hand-over
// to the run controller.
#include <sys/stat.h>

#include "control/control.h"
#include "app/gui.h"
#include "runtime/bopmem.h"
#include "tests/reader/actions.h"

namespace {

std::vector<std::string> questions;

struct BatchList : Actions {
  std::string d;  // the list's folder, with its separator
  void SetUp() override {
    Actions::SetUp();
    gui_init();  // the save offer of a modified list
    d = dir.path + "/";
    for (const char *f : {"a.pde", "Alpha.pde", "sub/b.pde", "abs/x.pde"}) {
      mkdir((d + "sub").c_str(), 0700), mkdir((d + "abs").c_str(), 0700);
      spit(d + f, "TITLE 'x'\n");
    }
    mkdir((d + "folder.pde").c_str(), 0700);
    questions.clear();
  }
  void TearDown() override {
    strings_free_1(&pdedat_batch_names, 1);
    bopmemfree(&pdedat_batch_states);
    pdedat_batch_count = pdedat_batch_index = 0;
    settings.batchlog = log;
    control_default_services();
    Actions::TearDown();
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (int k = 0; k < pdedat_batch_names.count; k++) out.push_back(pdedat_batch_names.items[k].text);
    return out;
  }
};

TEST_F(BatchList, EntriesAreCompletedUnderTheListsFolder) {
  // The hand-over abandons the command without a report.
  std::string list = "BATCH a, 'sub\\b.txt' sub\\b Alpha '" + d + "abs/x' END";
  ASSERT_EQ(parse(list), "");
  EXPECT_EQ(names(), (std::vector<std::string>{d + "a.pde", d + "sub/b.pde", d + "sub/b.pde", d + "Alpha.pde",
                                               d + "abs/x.pde"}));
  EXPECT_EQ(pdedat_batch_count, 5);
  for (int k = 0; k < 5; k++) EXPECT_EQ(pdedat_batch_states[k], 0);
  EXPECT_EQ(settings.batch, 1);
  // The holding problem is freed; its log is the batch log, still open.
  EXPECT_EQ(p->phase, 0);
  EXPECT_EQ(settings.batchlog, log);
  EXPECT_EQ(fputs("still open\n", log) >= 0, true);
}

TEST_F(BatchList, MissingFilesAndNestedLists) {
  const std::pair<const char *, const char *> cases[] = {
      {"BATCH a nothere", "Missing File @1:16"},
      {"BATCH a, folder", "Missing File @1:16"},  // a folder is not a file
      {"BATCH 'sub\\c'", "Missing File @1:14"},
  };
  for (auto [text, want] : cases) {
    EXPECT_EQ(parse(text), want) << text;
    EXPECT_EQ(pdedat_batch_count, 0) << "no problem of the list may run";
  }
  // A list is running: a listed descriptor that holds a list is refused.
  pdedat_batch_count = 1;
  EXPECT_EQ(parse("BATCH a"), "Nested Batch lists @1:6");
}

TEST_F(BatchList, AModifiedListIsOfferedForSaving) {
  strings_copyto_1(&verdat_product, "Quendar");
  control_services.yesno = [](uint16_t, const String *m, const String *c) {
    questions.push_back(std::string(c->text) + ": " + m->text);
    return int16_t(0);
  };
  settings.batch = 0;
  p->modified = 1;
  ASSERT_EQ(parse("BATCH a"), "");
  EXPECT_EQ(questions, std::vector<std::string>{"Quendar: desc has been modified.\nDo you want to save the changes?"});
  EXPECT_EQ(settings.batch, 1);
}

}  // namespace
