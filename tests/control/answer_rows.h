// Rows of whole-run answers: a descriptor, a value it reports, the answer its comment
// states and the tolerance, checked by one loop that serves every whole-run test.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>

struct AnswerRow {
  const char *name, *label;
  double value, tol;
};

// Runs each row's descriptor once (t.run_answer(name): the exit code, which must be 0),
// reads its reported values (t.report_answer(name): by label), and compares each row's
// value with its answer; every failure carries the run's log (t.log(name)). A label the
// run did not report ends the test.
template <class Run> void expect_answers(Run &t, std::initializer_list<AnswerRow> rows) {
  std::map<std::string, std::map<std::string, double>> got;
  for (const AnswerRow &r : rows) {
    if (!got.count(r.name)) {
      EXPECT_EQ(t.run_answer(r.name), 0) << r.name << "\n" << t.log(r.name);
      got[r.name] = t.report_answer(r.name);
    }
    ASSERT_TRUE(got[r.name].count(r.label)) << r.name << " " << r.label << "\n" << t.log(r.name);
    EXPECT_NEAR(got[r.name][r.label], r.value, r.tol) << r.name << " " << r.label << "\n" << t.log(r.name);
  }
}
