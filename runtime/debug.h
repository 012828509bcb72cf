// debug: the process's debug log "quendar.dbg", which once open is also the
// runtime log, and the few shared writers of diagnostics.
#pragma once
#include <cstdint>
#include <cstdio>

extern FILE *debug_file;      // the open debug log, or null
extern uint8_t debug_open;    // 1 while the log is open
extern uint8_t debug_output;  // 1 while optional diagnostic lines may be written

int debug_init();
bool debug_debug_on(const char *path);
// The path of the debug log in the directory dir (empty, or ending with '/'):
// dir + "quendar.dbg", or dir + "quendar-<uid>.dbg" when a file of the first name
// exists and belongs to another user, as it may in a shared temporary folder.
// The text lives in a program-wide buffer until the next call.
const char *debug_log_path(const char *dir);
void debug_debug_off();
const char *debug_path();
void debug_dbshow(const char *text);
void debug_nomem(const char *where);
void debug_dbfield(int a, int b, const char *text);
int debug_dbwait(const char *text);
void debug_showalloc(const char *owner, const char *what, uint32_t newsize, const void *newaddr,
                     uint32_t oldsize, const void *oldaddr);
void debug_showfree(const char *owner, const char *what, uint32_t size, const void *addr);
// printf-style line to the debug log, only while it is open.
void debug_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
