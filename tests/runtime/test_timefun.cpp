// Calendar records, time codes, elapsed-time and date texts, and the runtime clocks.
// Time codes below were worked out independently (python3 calendar.timegm).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "runtime/rtlib.h"
#include "runtime/timefun.h"

namespace {

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
    if (had) setenv("TZ", old.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    timefun_set_clock(0);
  }
};

const char *const kUtc = "UTC0";
const char *const kCentral = "CET-1CEST,M3.5.0,M10.5.0/3";  // Central Europe, with summer time

// The elapsed-time text from start code to now code.
std::string elapsed(int64_t start_code, int64_t now_code) {
  TimeRec start;
  timefun_expand_timecode(&start, start_code);
  timefun_set_clock(now_code);
  String t = {};
  strings_copyto_1(&t, "|");
  timefun_timestr_1(&t, &start);
  std::string out(t.text + 1);
  strings_free_0(&t);
  return out;
}

std::string text_by(void (*f)(String *)) {
  String t = {};
  f(&t);
  std::string out(t.text ? t.text : "");
  strings_free_0(&t);
  return out;
}

}  // namespace

TEST(CalendarTime, ExpandAndCompressAreInverse) {
  Zone z(kUtc);
  TimeRec r;
  timefun_expand_timecode(&r, 1835440496);  // 2028-02-29 12:34:56, a Tuesday
  EXPECT_EQ(r.year, 128);
  EXPECT_EQ(r.mon, 2) << "month counted from 1";
  EXPECT_EQ(r.mday, 29);
  EXPECT_EQ(r.hour, 12);
  EXPECT_EQ(r.min, 34);
  EXPECT_EQ(r.sec, 56);
  EXPECT_EQ(r.wday, 2);
  EXPECT_EQ(r.yday, 59);
  TimeRec keep = r;
  EXPECT_EQ(timefun_compress_timecode(&r), 1835440496);
  EXPECT_EQ(memcmp(&keep, &r, sizeof r), 0) << "the record is left as it was";
}

TEST(CalendarTime, TheHourRepeatedInAutumnKeepsItsFlag) {
  Zone z(kCentral);
  // 00:30 and 01:30 UTC on 2026-10-25 are both 02:30 local, first summer, then winter time.
  for (int64_t code : {int64_t{1792888200}, int64_t{1792891800}}) {
    TimeRec r;
    timefun_expand_timecode(&r, code);
    EXPECT_EQ(r.hour, 2);
    EXPECT_EQ(r.min, 30);
    EXPECT_EQ(timefun_compress_timecode(&r), code);
  }
}

TEST(ElapsedTime, ShortAndLongForms) {
  Zone z(kUtc);
  const int64_t t0 = 1780308000;  // 2026-06-01 10:00:00
  EXPECT_EQ(elapsed(t0, t0), "0:00");
  EXPECT_EQ(elapsed(t0, t0 + 59 * 60 + 5), "59:05");
  EXPECT_EQ(elapsed(t0, t0 + 3723), "1:02:03");
  EXPECT_EQ(elapsed(t0, 1780401600), "26:00:00") << "across midnight, the days go into the hours";
  EXPECT_EQ(elapsed(t0, t0 + 400 * 86400 + 61), "9600:01:01");
  EXPECT_EQ(elapsed(t0, t0 - 10), "0:00") << "a clock set back gives no negative time";
}

TEST(ElapsedTime, AcrossTheNewYear) {
  Zone z(kUtc);
  // 2027-12-31 23:59:00 to 2028-01-01 00:01:30.
  EXPECT_EQ(elapsed(1830297540, 1830297690), "2:30");
  // 2028 is a leap year: its last day is day 365 of the year.
  EXPECT_EQ(elapsed(1861916400, 1861923600), "2:00:00");
  // 2028-02-28 23:00 to 2028-03-01 01:00 passes the leap day.
  EXPECT_EQ(elapsed(1835391600, 1835391600 + 26 * 3600), "26:00:00");
}

TEST(ElapsedTime, AcrossDaylightSavingChanges) {
  Zone z(kCentral);
  // Spring: 01:30 winter time to 03:30 summer time is one hour.
  EXPECT_EQ(elapsed(1774744200, 1774747800), "1:00:00");
  // Autumn: 02:30 summer time to 02:30 winter time is one hour too.
  EXPECT_EQ(elapsed(1792888200, 1792891800), "1:00:00");
}

TEST(DateTexts, HeldClock) {
  Zone z(kUtc);
  timefun_set_clock(981173106);  // 2001-02-03 04:05:06
  EXPECT_EQ(text_by(timefun_datestr), "2/3/01");
  EXPECT_EQ(text_by(timefun_fdate), "04:05:06 2/3/01");
  EXPECT_EQ(text_by(timefun_timestr_0), "04:05:06");
  timefun_set_clock(4102444799);  // 2099-12-31 23:59:59
  EXPECT_EQ(text_by(timefun_fdate), "23:59:59 12/31/99");
  timefun_set_clock(946684800 - 1);  // 1999-12-31 23:59:59
  EXPECT_EQ(text_by(timefun_datestr), "12/31/99");
  // fdate sets the text; the others append.
  String t = {};
  strings_copyto_1(&t, "old ");
  timefun_fdate(&t);
  EXPECT_STREQ(t.text, "23:59:59 12/31/99");
  timefun_datestr(&t);
  EXPECT_STREQ(t.text, "23:59:59 12/31/9912/31/99");
  strings_free_0(&t);
  TimeRec r;
  timefun_get_time(&r);
  EXPECT_EQ(r.mon, 12);
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
    TimeRec r;
    rtlib_get_time_fields(&r);
    EXPECT_EQ(r.mon, m.tm_mon + 1);
    return;
  }
  FAIL() << "the clock kept turning over";
}
