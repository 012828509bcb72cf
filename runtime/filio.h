// filio: the IOfile, the one way files are read and written byte by byte: a
// caller-sized buffer, typed values in either byte order, counted strings, lines.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"

// States of an IOfile.
enum {
  FILIO_CLOSED = 0,
  FILIO_READING = 1,
  FILIO_WRITING = 2,
  FILIO_AT_EOF = 3,   // reading, end of file met
  FILIO_ENDED = 4     // writing, the file accepted no more bytes
};

struct IOfile {
  int32_t state;      // FILIO_CLOSED .. FILIO_ENDED
  int32_t kind;       // 0: disk file, the only kind there is
  uint8_t swap;       // 1: multi-byte values are byte-reversed on the file
  int16_t error;      // cleared at every block transfer, which stops while it is set;
                      // FILIO_LINE_TOO_LONG after a line read cut at 65535 characters
  int32_t handle;     // operating-system file descriptor
  uint8_t *buffer;    // transfer buffer, held from open to close
  int32_t size;       // bytes allocated
  int32_t filled;     // reading: bytes in the buffer; writing: the buffer size
  int32_t position;   // reading: next byte in the buffer; writing: bytes waiting
  int64_t filepos;    // reading: offset after the buffer's last byte; writing: offset of its first
  String name;        // file name
  String temp;        // writing by replacement: the temporary file renamed over name at close
};

void filio_initialize(IOfile *f);
void filio_set_byte_order(IOfile *f, uint32_t order);
void filio_byte_reverse(void *bytes, uint16_t n);

enum { FILIO_LINE_TOO_LONG = 1 };

// Reading. filio_open_get returns false (record left closed) when the file cannot be
// opened or is no regular file (a directory, pipe or device: one that could block
// the open or never end); it writes "SYSOPEN(name) RETURNS handle" to the debug log
// either way. filio_get_line_1 keeps the first 65535 characters of a longer line,
// passes over the rest and sets the error field to FILIO_LINE_TOO_LONG (cleared by
// the next line read) for the caller to report where the line stands.
bool filio_open_get(IOfile *f, int32_t size, const String *name);
void filio_close_get(IOfile *f);
bool filio_eof(IOfile *f);
int32_t filio_get_block(IOfile *f, void *to, int32_t n);
uint8_t filio_get_byte(IOfile *f);
uint8_t filio_get_char(IOfile *f);
int16_t filio_get_short(IOfile *f);
uint16_t filio_get_ushort(IOfile *f);
int32_t filio_get_long(IOfile *f);
double filio_get_single(IOfile *f);
double filio_get_double(IOfile *f);
void filio_get_string(IOfile *f, String *d);
uint16_t filio_get_carray(IOfile *f, char *buffer, uint16_t max);
void filio_get_line_1(IOfile *f, String *d);
int16_t filio_get_line_0(IOfile *f, char *buffer, uint16_t max);

// Writing. filio_open_put and filio_open_put_1 create or truncate the file in place;
// filio_open_put_2 writes a temporary file beside it that filio_close_put renames
// over it, so the old file survives any failure to write the new one.
void filio_open_put(IOfile *f, int32_t size, const char *name);
void filio_open_put_1(IOfile *f, int32_t size, const String *name);
void filio_open_put_2(IOfile *f, int32_t size, const String *name);
void filio_put_buffer(IOfile *f);
void filio_close_put(IOfile *f);
// Closes a file being written without keeping it: a temporary file is removed and its
// target left as it was (a file written in place is only closed).
void filio_abandon_put(IOfile *f);
int32_t filio_put_block(IOfile *f, const void *from, int32_t n);
void filio_put_byte(IOfile *f, uint8_t v);
void filio_put_short(IOfile *f, int16_t v);
void filio_put_ushort(IOfile *f, uint16_t v);
void filio_put_long(IOfile *f, int32_t v);
void filio_put_single(IOfile *f, double v);
void filio_put_double(IOfile *f, double v);
void filio_put_string(IOfile *f, const String *s);
void filio_put_carray(IOfile *f, const char *c);
void filio_put_text(IOfile *f, const String *s);
void filio_put_line_0(IOfile *f, const char *c);
void filio_put_line_1(IOfile *f, const String *s);

// Positions are 64-bit; filio_get_file_pos_1 is for formats that store an offset in
// 32 bits and stops with a fatal error past 2 GiB rather than wrap.
int64_t filio_get_file_pos(IOfile *f);
int32_t filio_get_file_pos_1(IOfile *f);
void filio_seek_file(IOfile *f, int64_t offset);
void filio_mark_file(IOfile *f);
void filio_put_patch(IOfile *f, int64_t offset, const void *from, uint16_t n);

// A C stream (rtlib_close_stream's) that writes a temporary file beside name and
// takes name's place at its close only when whole, so that a failed write leaves no
// part of a file; append starts it with a copy of what name holds. A device or pipe
// is written in place. Null with errno set when the file cannot be made.
FILE *filio_open_stream(const char *name, bool append);
// Whether a file can be written to replace name (its folder takes a new file).
bool filio_can_replace(const String *name);
FILE *filio_fopen(const String *name, const char *mode);
// An operating-system error on a named file goes to this hook, when one is set, as
// the text "name: system text" with the whole name; it does not return. Without a
// hook such an error is a fatal error. Returns the hook it replaces, for a caller that
// words its files' failures its own way to put back.
typedef void (*FilioReport)(const String *message);
FilioReport filio_set_report(FilioReport hook);
int filio_init();
