// timefun: calendar records, time codes and time texts. Elapsed times come from
// time codes, so they stay right across a year's end and daylight-saving changes.
#include "runtime/timefun.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "runtime/rtlib.h"

static int64_t fixed_clock = 0;  // nonzero: the time code that "now" reads

int timefun_init() {
  TRACE("timefun");
  return 0;
}

void timefun_set_clock(int64_t code) { fixed_clock = code; }

int64_t timefun_get_timecode() { return fixed_clock ? fixed_clock : static_cast<int64_t>(time(nullptr)); }

void timefun_expand_timecode(TimeRec *record, int64_t code) {
  rtlib_localtime(code, record);
  record->mon += 1;
}

// The record's own daylight-saving flag settles the hour that a change repeats. The C
// library reads the zone's rules again at every conversion (a file status each time); a
// run's status line converts its start and the current second at every step, so the last
// two conversions are kept with the zone setting (TZ) they were made under.
int64_t timefun_compress_timecode(const TimeRec *record) {
  struct Kept {
    TimeRec r;
    std::string zone;
    bool zoned = false, used = false;
    int64_t code = 0;
  };
  static Kept kept[2];
  static int older = 0;
  const char *zone = getenv("TZ");
  auto same = [&](const Kept &k) {
    const TimeRec &a = k.r, &b = *record;
    return k.used && a.sec == b.sec && a.min == b.min && a.hour == b.hour && a.mday == b.mday && a.mon == b.mon &&
           a.year == b.year && a.wday == b.wday && a.yday == b.yday && a.isdst == b.isdst &&
           k.zoned == (zone != nullptr) && (!zone || k.zone == zone);
  };
  for (int i = 0; i < 2; i++)
    if (same(kept[i])) {
      older = 1 - i;
      return kept[i].code;
    }
  TimeRec r = *record;
  r.mon -= 1;
  int64_t code = rtlib_mktime(&r);
  Kept &k = kept[older];
  k.r = *record, k.zoned = zone != nullptr, k.zone = zone ? zone : "", k.used = true, k.code = code;
  older = 1 - older;
  return code;
}

void timefun_get_time(TimeRec *record) {
  if (fixed_clock) timefun_expand_timecode(record, fixed_clock);
  else rtlib_get_time_fields(record);
}

// a := a - b as seconds, minutes, hours and days, from the two time codes; a
// negative difference (b after a) counts as none.
void timefun_time_difference(TimeRec *a, const TimeRec *b) {
  int64_t d = timefun_compress_timecode(a) - timefun_compress_timecode(b);
  if (d < 0) d = 0;
  *a = TimeRec{};
  a->sec = static_cast<int32_t>(d % 60);
  a->min = static_cast<int32_t>(d / 60 % 60);
  a->hour = static_cast<int32_t>(d / 3600 % 24);
  a->yday = static_cast<int32_t>(d / 86400);
}

void timefun_elapsed_time(TimeRec *record, const TimeRec *start) {
  timefun_get_time(record);
  timefun_time_difference(record, start);
}

// Years since 1900 as the texts show them: 2001 is 1, 1999 is 99.
static int short_year(int year) { return year > 99 ? year - 100 : year; }

// Appends the time since start: "h:mm:ss" from one hour on (days counted in the
// hours), "m:ss" below.
void timefun_timestr_1(String *text, const TimeRec *start) {
  TRACE("timefun_timestr_1");
  TimeRec e;
  timefun_elapsed_time(&e, start);
  long hours = e.hour + 24L * e.yday;
  char buf[48];
  if (hours >= 1) snprintf(buf, sizeof buf, "%ld:%02d:%02d", hours, e.min, e.sec);
  else snprintf(buf, sizeof buf, "%d:%02d", e.min, e.sec);
  strings_addto_1(text, buf);
}

void timefun_timestr_0(String *text) {
  TRACE("timefun_timestr_0");
  TimeRec r;
  timefun_get_time(&r);
  char buf[48];
  snprintf(buf, sizeof buf, "%02d:%02d:%02d", r.hour, r.min, r.sec);
  strings_addto_1(text, buf);
}

void timefun_datestr(String *text) {
  TRACE("timefun_datestr_0");
  TimeRec r;
  timefun_get_time(&r);
  char buf[48];
  snprintf(buf, sizeof buf, "%d/%d/%02d", r.mon, r.mday, short_year(r.year));
  strings_addto_1(text, buf);
}

void timefun_fdate(String *text) {
  TRACE("timefun_fdate_0");
  TimeRec r;
  timefun_get_time(&r);
  char buf[64];
  snprintf(buf, sizeof buf, "%02d:%02d:%02d %d/%d/%02d", r.hour, r.min, r.sec, r.mon, r.mday, short_year(r.year));
  strings_copyto_1(text, buf);
}
