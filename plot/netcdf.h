// netcdf: the table of open netCDF classic files that the writer builds without any
// outside library: definitions counted into a header, the header, the data stream.
#pragma once
#include <cstdint>

#include "runtime/filio.h"
#include "runtime/strings.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"

struct vectori;
struct vectord;
struct vectors;

// Value types of the format.
enum { CDF_BYTE = 1, CDF_CHAR = 2, CDF_SHORT = 3, CDF_INT = 4, CDF_FLOAT = 5, CDF_DOUBLE = 6 };

// Phases of an open file.
enum { CDF_DEFINE = 1, CDF_REDEFINE = 2, CDF_DATA = 3 };

struct cdf_attr {
  uint32_t type;     // CDF_CHAR .. CDF_DOUBLE
  String name;
  uint16_t count;    // values; the length of a text
  String text;       // the value of a text
  double value[2];   // the values of any other type
};

struct cdf_attr_list {
  uint16_t count, capacity;  // grown by 8
  cdf_attr *items;           // entry k is items[k-1]
};

struct cdf_var {
  uint32_t type;
  uint8_t record;      // 1 when one of its dimensions is the record dimension
  uint32_t vsize;      // bytes of the variable, or of one record of it
  uint32_t begin;      // offset of its data, or of its part of the first record
  String name;
  vectorn dims;        // dimension ids, 1-based
  cdf_attr_list attrs;
};

struct cdf_var_list {
  uint16_t count, capacity;  // grown by 8
  cdf_var *items;            // entry k is items[k-1]
};

struct cdf_file {
  uint8_t in_use;          // 1 while the handle is valid
  uint32_t mode;           // CDF_DEFINE, CDF_REDEFINE or CDF_DATA
  uint32_t header_size;    // header bytes as counted so far
  uint32_t offset;         // running begin offset while offsets are assigned
  uint32_t records;        // number of records as last written
  IOfile file;             // buffered writer, big-endian
  StringList dim_names;    // in definition order
  vectorl dim_sizes;       // 0 marks the record dimension
  cdf_attr_list attrs;     // global attributes
  cdf_var_list vars;
};

int netcdf_init();

// Opens name for buffered writing (buffer of size bytes) and starts the definition
// phase. Returns the file's handle, counted from 1, or 0 when it cannot be opened.
int32_t netcdf_cdf_create(const char *name, int32_t size);

// Definitions, accepted in the definition phase after create only (0 otherwise).
// A name that an earlier dimension (or variable) of the file holds gets "_2", "_3",
// ... appended, and "/" is written "_", so that every name stays readable.
// def_dim returns the dimension id (from 1); size 0 makes the record dimension, of
// which there is one at most; a negative size is refused.
int32_t netcdf_cdf_def_dim(int32_t h, const char *name, int32_t size);
// def_var returns the variable id (from 1); type CDF_BYTE .. CDF_DOUBLE; dims holds
// dimension ids of this file, the record dimension first when there is one.
int32_t netcdf_cdf_def_var_0(int32_t h, const char *name, uint32_t type, const vectorn *dims);
int32_t netcdf_cdf_def_var_1(int32_t h, const char *name, uint32_t type, uint16_t d1);
int32_t netcdf_cdf_def_var_2(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2);
int32_t netcdf_cdf_def_var_3(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2,
                             uint16_t d3);
int32_t netcdf_cdf_def_var_4(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2,
                             uint16_t d3, uint16_t d4);

// Attributes of variable var (0: of the file). In the definition phase each call adds
// one; after redefine it overwrites the values of the attribute of the same type, name
// and count, so the header keeps its size, and does nothing when there is none.
void netcdf_cdf_def_attr_text(int32_t h, int32_t var, const char *name, const char *text);
void netcdf_cdf_def_attr_short(int32_t h, int32_t var, const char *name, int16_t v);
void netcdf_cdf_def_attr_long_0(int32_t h, int32_t var, const char *name, int32_t v);
void netcdf_cdf_def_attr_long_1(int32_t h, int32_t var, const char *name, int32_t v1, int32_t v2);
void netcdf_cdf_def_attr_single_0(int32_t h, int32_t var, const char *name, double v);
void netcdf_cdf_def_attr_single_1(int32_t h, int32_t var, const char *name, double v1, double v2);
void netcdf_cdf_def_attr_double_0(int32_t h, int32_t var, const char *name, double v);
void netcdf_cdf_def_attr_double_1(int32_t h, int32_t var, const char *name, double v1, double v2);

// Writes the header with this number of records and enters the data phase. The first
// time it assigns the begin offsets (fixed variables, then record variables, each in
// definition order) and leaves the file positioned after the header; after redefine
// it rewrites the header in place and returns to where the data stood. False in the
// data phase. An attribute of a type it cannot write is the fatal error
// "Unimplemented attribute type".
bool netcdf_cdf_enddef(int32_t h, int32_t records);
// Reopens the definition, for attribute values and the number of records.
void netcdf_cdf_redefine(int32_t h);

// Data, in the order of the offsets: fixed variables, then record by record. Ignored
// before the header is written.
void netcdf_cdf_put_0(int32_t h, int16_t v);
void netcdf_cdf_put_1(int32_t h, uint16_t v);
void netcdf_cdf_put_2(int32_t h, int32_t v);
void netcdf_cdf_put_single(int32_t h, double v);
void netcdf_cdf_put_3(int32_t h, double v);
void netcdf_cdf_put_4(int32_t h, const vectori *v);
void netcdf_cdf_put_5(int32_t h, const vectorn *v);
void netcdf_cdf_put_6(int32_t h, const vectorl *v);
void netcdf_cdf_put_7(int32_t h, const vectors *v);
void netcdf_cdf_put_8(int32_t h, const vectord *v);

// Hands the waiting bytes to the file.
void netcdf_cdf_sync(int32_t h);
// Closes the file as it stands (the header is not rewritten) and frees the handle.
void netcdf_cdf_close(int32_t h);
// Frees the record as close does but keeps no file: the one being written is removed
// and any earlier file of its name stays (an output left half written).
void netcdf_cdf_abandon(int32_t h);

// Every operation on a handle that is 0, beyond the table or closed does nothing and
// returns 0 or false.
