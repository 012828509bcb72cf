// netcdf: writes netCDF classic files (format version 1) through the buffered binary
// file module in big-endian order. The definition phase collects dimensions,
// variables and attributes and counts the header's size as it goes; ending it writes
// the header with every variable's begin offset; data then stream in call order; the
// header, whose size never changes after that, can be rewritten in place.
#include "plot/netcdf.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "runtime/bopmem.h"
#include "runtime/owner.h"
#include "runtime/rtlib.h"
#include "runtime/vectord.h"
#include "runtime/vectori.h"
#include "runtime/vectors.h"

// Tags of the header's lists.
enum : int32_t { TAG_DIMENSION = 10, TAG_VARIABLE = 11, TAG_ATTRIBUTE = 12 };

// Bytes of one value, by type.
static const uint32_t type_size[7] = {0, 1, 1, 2, 4, 4, 8};

// The open files: handle n is items[n-1].
static struct {
  uint16_t count, capacity;  // grown by 8
  cdf_file *items;
} table;
// The table goes once no file is open.
static BopmemWork table_work([] {
  for (uint16_t k = 0; k < table.count; k++)
    if (table.items[k].in_use) return;
  if (table.items) {
    XMEM -= table.capacity * sizeof(cdf_file);
    bopmemfree(&table.items);
  }
  table = {};
});

int netcdf_init() {
  TRACE("netcdf");
  return 0;
}

static cdf_file *entry(int32_t h) {
  return h >= 1 && h <= table.count && table.items[h - 1].in_use ? &table.items[h - 1] : nullptr;
}

// Grows a list of records by 8 slots when it is full; false when it holds 65535.
template <class L> static bool room(L *l) {
  if (l->count < l->capacity) return true;
  if (l->capacity > 65535 - 8) return false;
  using T = std::remove_pointer_t<decltype(l->items)>;
  T *grown = nullptr;
  bopmemalloc(&grown, l->capacity + 8, sizeof(T));
  XMEM += (l->capacity + 8) * sizeof(T);
  if (l->items) {
    memcpy(grown, l->items, l->count * sizeof(T));
    XMEM -= l->capacity * sizeof(T);
    bopmemfree(&l->items);
  }
  l->items = grown;
  l->capacity += 8;
  return true;
}

static void free_attrs(cdf_attr_list *l) {
  for (int k = 0; k < l->count; k++) {
    strings_free_0(&l->items[k].name);
    strings_free_0(&l->items[k].text);
  }
  if (l->items) {
    XMEM -= l->capacity * sizeof(cdf_attr);
    bopmemfree(&l->items);
  }
  *l = {};
}

// Bytes a name takes in the header: its length word and its characters padded to 4.
static uint32_t name_bytes(uint32_t length) { return (length + 7) & ~3u; }

// The name as written: "/" as "_" (no name of the format may hold one), then "_2",
// "_3", ... appended while taken(name) says that an earlier entry holds it, since a
// file with two dimensions or two variables of one name is unreadable.
template <class Taken> static void written_name(String *out, const char *name, Taken taken) {
  strings_copyto_1(out, name);
  for (int k = 0; k < out->length; k++)
    if (out->text[k] == '/') out->text[k] = '_';
  if (!taken(out)) return;
  StringOwner base;
  strings_copyto_0(base.get(), out);
  for (int n = 2;; n++) {
    char suffix[16];
    snprintf(suffix, sizeof suffix, "_%d", n);
    strings_copyto_0(out, base.get());
    strings_addto_1(out, suffix);
    if (!taken(out)) return;
  }
}

int32_t netcdf_cdf_create(const char *name, int32_t size) {
  TRACE("netcdf_cdf_create");
  // The buffered writer stops the run when it cannot open its file; a file that
  // cannot be made is the caller's to report, so it is tried first, leaving any
  // file of that name as it was. The file is written under a temporary name beside
  // it and takes its name at close, when whole: a write that fails (a full disk, a
  // file-size limit) leaves no part of a file, and an earlier file stays as it was.
  StringOwner probe;
  strings_copyto_1(probe.get(), name);
  if (!filio_can_replace(probe.get())) return 0;

  int32_t h = 1;
  while (h <= table.count && table.items[h - 1].in_use) h++;
  if (h > table.count) {
    if (!room(&table)) return 0;
    table.count++;
  }
  cdf_file *c = &table.items[h - 1];
  *c = {};
  filio_initialize(&c->file);
  filio_open_put_2(&c->file, size, probe.get());
  filio_set_byte_order(&c->file, 1);
  c->in_use = 1;
  c->mode = CDF_DEFINE;
  c->header_size = 32;  // magic, number of records and the heads of the three lists
  return h;
}

int32_t netcdf_cdf_def_dim(int32_t h, const char *name, int32_t size) {
  TRACE("netcdf_cdf_def_dim");
  cdf_file *c = entry(h);
  if (!c || c->mode != CDF_DEFINE || size < 0) return 0;
  for (int k = 0; k < c->dim_sizes.count; k++)
    if (size == 0 && c->dim_sizes.data[k] == 0) return 0;
  if (c->dim_names.count == 65535) return 0;
  StringOwner written;
  written_name(written.get(), name, [c](const String *s) {
    for (int k = 0; k < c->dim_names.count; k++)
      if (strings_compare_0(&c->dim_names.items[k], s) == 0) return true;
    return false;
  });
  strings_one_more(&c->dim_names, written.get());
  vectorl_one_more(&c->dim_sizes, size);
  c->header_size += name_bytes(written->length) + 4;
  return c->dim_names.count;
}

int32_t netcdf_cdf_def_var_0(int32_t h, const char *name, uint32_t type, const vectorn *dims) {
  TRACE("netcdf_cdf_def_var_0");
  cdf_file *c = entry(h);
  if (!c || c->mode != CDF_DEFINE || type < CDF_BYTE || type > CDF_DOUBLE) return 0;
  for (int k = 0; k < dims->count; k++)
    if (dims->data[k] < 1 || dims->data[k] > c->dim_names.count) return 0;
  StringOwner written;
  written_name(written.get(), name, [c](const String *s) {
    for (int k = 0; k < c->vars.count; k++)
      if (strings_compare_0(&c->vars.items[k].name, s) == 0) return true;
    return false;
  });
  if (!room(&c->vars)) return 0;
  cdf_var *v = &c->vars.items[c->vars.count];
  *v = {};
  v->type = type;
  strings_moveto(&v->name, written.get());
  vectorn_copyto_0(&v->dims, dims);
  for (int k = 0; k < dims->count; k++)
    if (c->dim_sizes.data[dims->data[k] - 1] == 0) v->record = 1;
  c->vars.count++;
  c->header_size += name_bytes(v->name.length) + 4 * dims->count + 24;
  return c->vars.count;
}

static int32_t def_var(int32_t h, const char *name, uint32_t type, int n, const uint16_t *ids) {
  vectorn dims = {n, n, const_cast<uint16_t *>(ids)};
  return netcdf_cdf_def_var_0(h, name, type, &dims);
}

int32_t netcdf_cdf_def_var_1(int32_t h, const char *name, uint32_t type, uint16_t d1) {
  TRACE("netcdf_cdf_def_var_1");
  const uint16_t ids[] = {d1};
  return def_var(h, name, type, 1, ids);
}

int32_t netcdf_cdf_def_var_2(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2) {
  TRACE("netcdf_cdf_def_var_2");
  const uint16_t ids[] = {d1, d2};
  return def_var(h, name, type, 2, ids);
}

int32_t netcdf_cdf_def_var_3(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2,
                             uint16_t d3) {
  TRACE("netcdf_cdf_def_var_3");
  const uint16_t ids[] = {d1, d2, d3};
  return def_var(h, name, type, 3, ids);
}

int32_t netcdf_cdf_def_var_4(int32_t h, const char *name, uint32_t type, uint16_t d1, uint16_t d2,
                             uint16_t d3, uint16_t d4) {
  TRACE("netcdf_cdf_def_var_4");
  const uint16_t ids[] = {d1, d2, d3, d4};
  return def_var(h, name, type, 4, ids);
}

// Bytes of an attribute's values in the header, with their count word.
static uint32_t value_bytes(uint32_t type, uint32_t count) {
  if (type == CDF_CHAR) return (count + 7) & ~3u;
  if (type == CDF_SHORT) return 8;
  return 4 + ((type_size[type] * count + 3) & ~3u);
}

// The one routine behind every attribute definition: a new attribute while the file
// is being defined, new values for a matching one after redefine.
static void def_attr(int32_t h, int32_t var, const char *name, uint32_t type, const char *text,
                     uint16_t count, double v1, double v2) {
  cdf_file *c = entry(h);
  if (!c || var < 0 || var > c->vars.count) return;
  cdf_attr_list *l = var == 0 ? &c->attrs : &c->vars.items[var - 1].attrs;
  if (c->mode == CDF_REDEFINE) {
    for (int k = 0; k < l->count; k++) {
      cdf_attr *a = &l->items[k];
      if (a->type != type || a->count != count || strcmp(a->name.text ? a->name.text : "", name ? name : "") != 0)
        continue;
      if (type == CDF_CHAR) strings_copyto_1(&a->text, text);
      a->value[0] = v1;
      a->value[1] = v2;
      return;
    }
    return;
  }
  if (c->mode != CDF_DEFINE || !room(l)) return;
  cdf_attr *a = &l->items[l->count++];
  *a = {};
  a->type = type;
  strings_copyto_1(&a->name, name);
  a->count = count;
  if (type == CDF_CHAR) strings_copyto_1(&a->text, text);
  a->value[0] = v1;
  a->value[1] = v2;
  c->header_size += value_bytes(type, count) + name_bytes(a->name.length) + 4;
}

void netcdf_cdf_def_attr_text(int32_t h, int32_t var, const char *name, const char *text) {
  TRACE("netcdf_cdf_def_attr_text");
  StringOwner t;
  strings_copyto_1(t.get(), text);  // a text the header cannot hold stops here
  def_attr(h, var, name, CDF_CHAR, t->text ? t->text : "", t->length, 0, 0);
}

void netcdf_cdf_def_attr_short(int32_t h, int32_t var, const char *name, int16_t v) {
  TRACE("netcdf_cdf_def_attr_short");
  def_attr(h, var, name, CDF_SHORT, nullptr, 1, v, 0);
}

void netcdf_cdf_def_attr_long_0(int32_t h, int32_t var, const char *name, int32_t v) {
  TRACE("netcdf_cdf_def_attr_long_0");
  def_attr(h, var, name, CDF_INT, nullptr, 1, v, 0);
}

void netcdf_cdf_def_attr_long_1(int32_t h, int32_t var, const char *name, int32_t v1, int32_t v2) {
  TRACE("netcdf_cdf_def_attr_long_1");
  def_attr(h, var, name, CDF_INT, nullptr, 2, v1, v2);
}

void netcdf_cdf_def_attr_single_0(int32_t h, int32_t var, const char *name, double v) {
  TRACE("netcdf_cdf_def_attr_single_0");
  def_attr(h, var, name, CDF_FLOAT, nullptr, 1, v, 0);
}

void netcdf_cdf_def_attr_single_1(int32_t h, int32_t var, const char *name, double v1, double v2) {
  TRACE("netcdf_cdf_def_attr_single_1");
  def_attr(h, var, name, CDF_FLOAT, nullptr, 2, v1, v2);
}

void netcdf_cdf_def_attr_double_0(int32_t h, int32_t var, const char *name, double v) {
  TRACE("netcdf_cdf_def_attr_double_0");
  def_attr(h, var, name, CDF_DOUBLE, nullptr, 1, v, 0);
}

void netcdf_cdf_def_attr_double_1(int32_t h, int32_t var, const char *name, double v1, double v2) {
  TRACE("netcdf_cdf_def_attr_double_1");
  def_attr(h, var, name, CDF_DOUBLE, nullptr, 2, v1, v2);
}

// ---- The header --------------------------------------------------------------------

static void put_name(IOfile *f, const String *s) {
  static const uint8_t zeros[4] = {0, 0, 0, 0};
  filio_put_long(f, s->length);
  if (s->length) filio_put_block(f, s->text, s->length);
  filio_put_block(f, zeros, (4 - s->length % 4) % 4);
}

static void put_absent(IOfile *f) {
  filio_put_long(f, 0);
  filio_put_long(f, 0);
}

static void put_attrs(IOfile *f, const cdf_attr_list *l) {
  if (l->count == 0) return put_absent(f);
  filio_put_long(f, TAG_ATTRIBUTE);
  filio_put_long(f, l->count);
  for (int k = 0; k < l->count; k++) {
    const cdf_attr *a = &l->items[k];
    put_name(f, &a->name);
    filio_put_long(f, static_cast<int32_t>(a->type));
    switch (a->type) {
      case CDF_CHAR: put_name(f, &a->text); break;
      case CDF_SHORT:
        // One short, padded to four bytes by a zero short.
        filio_put_long(f, 1);
        filio_put_short(f, static_cast<int16_t>(a->value[0]));
        filio_put_short(f, 0);
        break;
      case CDF_INT:
      case CDF_FLOAT:
      case CDF_DOUBLE:
        filio_put_long(f, a->count);
        for (int i = 0; i < a->count; i++) {
          if (a->type == CDF_INT) filio_put_long(f, static_cast<int32_t>(a->value[i]));
          else if (a->type == CDF_FLOAT) filio_put_single(f, a->value[i]);
          else filio_put_double(f, a->value[i]);
        }
        break;
      default: rtlib_fatal_in("netcdf_cdf_enddef", "Unimplemented attribute type");
    }
  }
}

// Begin offsets from the header's end: fixed variables first, then the record
// variables, whose sizes are those of one record; each in definition order.
static void assign_offsets(cdf_file *c) {
  c->offset = c->header_size;
  for (int pass = 0; pass < 2; pass++)
    for (int k = 0; k < c->vars.count; k++) {
      cdf_var *v = &c->vars.items[k];
      if (v->record != pass) continue;
      uint32_t n = 1;
      for (int i = 0; i < v->dims.count; i++) {
        int32_t size = c->dim_sizes.data[v->dims.data[i] - 1];
        if (size) n *= static_cast<uint32_t>(size);
      }
      v->begin = c->offset;
      v->vsize = n * type_size[v->type];
      c->offset += v->vsize;
    }
}

static void put_header(cdf_file *c) {
  IOfile *f = &c->file;
  static const uint8_t magic[4] = {'C', 'D', 'F', 1};
  filio_put_block(f, magic, 4);
  filio_put_long(f, static_cast<int32_t>(c->records));
  if (c->dim_names.count == 0) {
    put_absent(f);
  } else {
    filio_put_long(f, TAG_DIMENSION);
    filio_put_long(f, c->dim_names.count);
    for (int k = 0; k < c->dim_names.count; k++) {
      put_name(f, &c->dim_names.items[k]);
      filio_put_long(f, c->dim_sizes.data[k]);
    }
  }
  put_attrs(f, &c->attrs);
  if (c->vars.count == 0) return put_absent(f);
  filio_put_long(f, TAG_VARIABLE);
  filio_put_long(f, c->vars.count);
  for (int k = 0; k < c->vars.count; k++) {
    const cdf_var *v = &c->vars.items[k];
    put_name(f, &v->name);
    filio_put_long(f, v->dims.count);
    for (int i = 0; i < v->dims.count; i++) filio_put_long(f, v->dims.data[i] - 1);
    put_attrs(f, &v->attrs);
    filio_put_long(f, static_cast<int32_t>(v->type));
    filio_put_long(f, static_cast<int32_t>(v->vsize));
    filio_put_long(f, static_cast<int32_t>(v->begin));
  }
}

bool netcdf_cdf_enddef(int32_t h, int32_t records) {
  TRACE("netcdf_cdf_enddef");
  cdf_file *c = entry(h);
  if (!c || (c->mode != CDF_DEFINE && c->mode != CDF_REDEFINE)) return false;
  // 1. After redefine the header goes over its old bytes: keep the data's place.
  int64_t resume = 0;
  if (c->mode == CDF_REDEFINE) {
    resume = filio_get_file_pos(&c->file);
    filio_seek_file(&c->file, 0);
  } else {
    assign_offsets(c);
  }
  // 2. The header.
  c->records = static_cast<uint32_t>(records);
  int64_t start = filio_get_file_pos(&c->file);
  put_header(c);
  assert(filio_get_file_pos(&c->file) - start == c->header_size);
  (void)start;
  // 3. Back to the data.
  if (c->mode == CDF_REDEFINE) filio_seek_file(&c->file, resume);
  c->mode = CDF_DATA;
  return true;
}

void netcdf_cdf_redefine(int32_t h) {
  TRACE("netcdf_cdf_redefine");
  cdf_file *c = entry(h);
  if (c) c->mode = CDF_REDEFINE;
}

// ---- Data --------------------------------------------------------------------------

// The writer of an open file past its definition, or null.
static IOfile *data_file(int32_t h) {
  cdf_file *c = entry(h);
  return c && c->mode != CDF_DEFINE ? &c->file : nullptr;
}

void netcdf_cdf_put_0(int32_t h, int16_t v) {
  TRACE("netcdf_cdf_put_0");
  if (IOfile *f = data_file(h)) filio_put_short(f, v);
}

void netcdf_cdf_put_1(int32_t h, uint16_t v) {
  TRACE("netcdf_cdf_put_1");
  if (IOfile *f = data_file(h)) filio_put_ushort(f, v);
}

void netcdf_cdf_put_2(int32_t h, int32_t v) {
  TRACE("netcdf_cdf_put_2");
  if (IOfile *f = data_file(h)) filio_put_long(f, v);
}

void netcdf_cdf_put_single(int32_t h, double v) {
  TRACE("netcdf_cdf_put_single");
  if (IOfile *f = data_file(h)) filio_put_single(f, v);
}

void netcdf_cdf_put_3(int32_t h, double v) {
  TRACE("netcdf_cdf_put_3");
  if (IOfile *f = data_file(h)) filio_put_double(f, v);
}

void netcdf_cdf_put_4(int32_t h, const vectori *v) {
  TRACE("netcdf_cdf_put_4");
  if (IOfile *f = data_file(h))
    for (int32_t i = 0; i < v->count; i++) filio_put_short(f, v->data[i]);
}

void netcdf_cdf_put_5(int32_t h, const vectorn *v) {
  TRACE("netcdf_cdf_put_5");
  if (IOfile *f = data_file(h))
    for (int32_t i = 0; i < v->count; i++) filio_put_ushort(f, v->data[i]);
}

void netcdf_cdf_put_6(int32_t h, const vectorl *v) {
  TRACE("netcdf_cdf_put_6");
  if (IOfile *f = data_file(h))
    for (int32_t i = 0; i < v->count; i++) filio_put_long(f, v->data[i]);
}

void netcdf_cdf_put_7(int32_t h, const vectors *v) {
  TRACE("netcdf_cdf_put_7");
  if (IOfile *f = data_file(h))
    for (int32_t i = 0; i < v->count; i++) filio_put_single(f, v->data[i]);
}

void netcdf_cdf_put_8(int32_t h, const vectord *v) {
  TRACE("netcdf_cdf_put_8");
  if (IOfile *f = data_file(h))
    for (int32_t i = 0; i < v->count; i++) filio_put_double(f, v->data[i]);
}

void netcdf_cdf_sync(int32_t h) {
  TRACE("netcdf_cdf_sync");
  cdf_file *c = entry(h);
  if (c && c->file.state == FILIO_WRITING) filio_put_buffer(&c->file);
}

// Frees the record and closes its file, kept (renamed over its name) or abandoned.
static void release(int32_t h, bool keep) {
  cdf_file *c = entry(h);
  if (!c) return;
  // The record is free before the file closes: a failing close leaves no handle.
  c->in_use = 0;
  auto release_name = owner_guard([c] { strings_free_0(&c->file.name); });
  strings_free_1(&c->dim_names, 1);
  vectorl_free(&c->dim_sizes);
  free_attrs(&c->attrs);
  for (int k = 0; k < c->vars.count; k++) {
    strings_free_0(&c->vars.items[k].name);
    vectorn_free(&c->vars.items[k].dims);
    free_attrs(&c->vars.items[k].attrs);
  }
  if (c->vars.items) {
    XMEM -= c->vars.capacity * sizeof(cdf_var);
    bopmemfree(&c->vars.items);
  }
  c->vars = {};
  if (c->file.state == FILIO_CLOSED) return;
  if (keep) filio_close_put(&c->file);
  else filio_abandon_put(&c->file);
}

void netcdf_cdf_close(int32_t h) {
  TRACE("netcdf_cdf_close");
  release(h, true);
}

void netcdf_cdf_abandon(int32_t h) {
  TRACE("netcdf_cdf_abandon");
  release(h, false);
}
