// timefun: calendar records and time codes, and the texts of the clock time, the
// date and the time elapsed since a start (the run log's and status panel's).
#pragma once
#include <cstdint>

#include "runtime/strings.h"

// A calendar record: local time with the month counted from 1 and the year from
// 1900. A difference of two records holds seconds, minutes, hours and whole days
// (in yday); its other fields are 0.
struct TimeRec {
  int32_t sec, min, hour, mday, mon, year, wday, yday, isdst;
};

int timefun_init();
int64_t timefun_get_timecode();
void timefun_expand_timecode(TimeRec *record, int64_t code);
int64_t timefun_compress_timecode(const TimeRec *record);
void timefun_get_time(TimeRec *record);
void timefun_time_difference(TimeRec *a, const TimeRec *b);
void timefun_elapsed_time(TimeRec *record, const TimeRec *start);
void timefun_timestr_1(String *text, const TimeRec *start);
void timefun_timestr_0(String *text);
void timefun_datestr(String *text);
void timefun_fdate(String *text);
// Holds "now" at the given time code (reproducible texts in tests); 0 lets it run.
void timefun_set_clock(int64_t code);
