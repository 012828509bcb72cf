// Calendar records, time codes, elapsed-time and date texts, and the runtime clocks.
// Time codes below were worked out independently (python3 calendar.timegm).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "runtime/rtlib.h"
#include "runtime/timefun.h"
#include "tests/runtime/harness.h"

namespace {

const char *const kUtc = "UTC0";
const char *const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";  // Central Europe, with summer time

// Sets the time zone for one test and puts back the old one after it; the held
// clock is released too.
struct Zone {
  std::string old;
  bool had;
  explicit Zone(const char *tz) {
    const char *o = getenv("TZ");
    had = o != nullptr;
    if (had) old = o;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~Zone() {
    had ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
    tzset();
    timefun_set_clock(0);
  }
};

std::string text_by(void (*f)(String *), const char *start = "") {
  OwnedString t(start);
  f(&t);
  return t.text();
}

}  // namespace

TEST(CalendarTime, ExpandAndCompressAreInverse) {
  Zone z(kCentral);
  // 2028-02-29 12:34:56 UTC, a Tuesday; then 00:30 and 01:30 UTC on 2026-10-25, both
  // 02:30 local, first summer, then winter time.
  const struct {
    int64_t code;
    int hour, min, wday, yday;
  } cases[] = {{1835440496, 13, 34, 2, 59}, {1792888200, 2, 30, 0, 297}, {1792891800, 2, 30, 0, 297}};
  for (const auto &c : cases) {
    TimeRec r;
    timefun_expand_timecode(&r, c.code);
    EXPECT_EQ(r.hour * 100 + r.min, c.hour * 100 + c.min) << c.code;
    EXPECT_EQ(r.wday * 1000 + r.yday, c.wday * 1000 + c.yday) << c.code;
    TimeRec keep = r;
    EXPECT_EQ(timefun_compress_timecode(&r), c.code);
    EXPECT_EQ(memcmp(&keep, &r, sizeof r), 0) << "the record is left as it was";
  }
  TimeRec r;
  timefun_expand_timecode(&r, 1835440496);
  EXPECT_EQ(r.year * 10000 + r.mon * 100 + r.mday, 1280229) << "month counted from 1";
}

// The same record converted again, and again under another zone: each conversion is that
// zone's, however often the record was converted before.
TEST(CalendarTime, RepeatedCompressFollowsTheZone) {
  TimeRec r{};
  r.year = 126, r.mon = 7, r.mday = 1, r.hour = 12, r.isdst = -1;  // 2026-07-01 12:00 local
  for (int pass = 0; pass < 2; pass++) {
    {
      Zone z(kUtc);
      EXPECT_EQ(timefun_compress_timecode(&r), 1782907200) << pass;
      EXPECT_EQ(timefun_compress_timecode(&r), 1782907200) << pass;
    }
    Zone z(kCentral);
    EXPECT_EQ(timefun_compress_timecode(&r), 1782907200 - 7200) << pass;
  }
}

TEST(ElapsedTime, ShortAndLongForms) {
  const int64_t t0 = 1780308000;  // 2026-06-01 10:00:00
  const struct {
    const char *zone;
    int64_t start, now;
    const char *want;
  } cases[] = {
      {kUtc, t0, t0, "0:00"},
      {kUtc, t0, t0 + 3723, "1:02:03"},
      {kUtc, t0, 1780401600, "26:00:00"},  // across midnight, the days go into the hours
      {kUtc, t0, t0 + 400 * 86400 + 61, "9600:01:01"},
      {kUtc, t0, t0 - 10, "0:00"},                          // a clock set back: no negative time
      {kUtc, 1830297540, 1830297690, "2:30"},               // across the new year
      {kUtc, 1835391600, 1835391600 + 26 * 3600, "26:00:00"},  // across the leap day
      {kCentral, 1774744200, 1774747800, "1:00:00"},        // spring: 01:30 winter to 03:30 summer
      {kCentral, 1792888200, 1792891800, "1:00:00"},        // autumn: 02:30 summer to 02:30 winter
  };
  for (const auto &c : cases) {
    Zone z(c.zone);
    TimeRec start;
    timefun_expand_timecode(&start, c.start);
    timefun_set_clock(c.now);
    OwnedString t;
    timefun_timestr_1(&t, &start);
    EXPECT_EQ(t.text(), c.want) << c.start << " to " << c.now;
  }
}

TEST(DateTexts, HeldClock) {
  Zone z(kUtc);
  timefun_set_clock(981173106);  // 2001-02-03 04:05:06
  EXPECT_EQ(text_by(timefun_datestr), "2/3/01");
  EXPECT_EQ(text_by(timefun_fdate), "04:05:06 2/3/01");
  EXPECT_EQ(text_by(timefun_timestr_0), "04:05:06");
  timefun_set_clock(4102444799);  // 2099-12-31 23:59:59
  EXPECT_EQ(text_by(timefun_fdate, "old "), "23:59:59 12/31/99") << "fdate sets the text";
  timefun_set_clock(946684800 - 1);  // 1999-12-31 23:59:59
  EXPECT_EQ(text_by(timefun_datestr, "old "), "old 12/31/99") << "the others append";
  EXPECT_EQ(timefun_get_timecode(), 946684799);
}

// The runtime's own texts of now agree with the C library's strftime of the same second.
TEST(Clocks, TimeAndDateTextsOfNow) {
  Zone z(kUtc);
  for (int attempt = 0; attempt < 5; attempt++) {
    time_t before = time(nullptr);
    char ours[16], date[16], want[32], wantdate[32];
    rtlib_time_text(ours);
    rtlib_date_text(date);
    if (time(nullptr) != before) continue;  // the second turned over
    tm m;
    gmtime_r(&before, &m);
    strftime(want, sizeof want, "%H:%M:%S", &m);
    snprintf(wantdate, sizeof wantdate, "%d/%d/%d", m.tm_mon + 1, m.tm_mday, m.tm_year % 100);
    EXPECT_STREQ(ours, want);
    EXPECT_STREQ(date, wantdate);
    return;
  }
  FAIL() << "the clock kept turning over";
}
