// rdbatch: the batch-list actions: entries collected into pdedat_batch_names while
// the list is read, checked as each is complete, handed to the run controller at
// its end.
#include "reader/rdbatch.h"

#include <sys/stat.h>

#include <cctype>
#include <initializer_list>

#include "graphics/appwin.h"
#include "model/symtab.h"
#include "reader/acpde.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/except.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/textin.h"

// The directory of the descriptor that holds the list, ending with the separator.
// The batch list the run controller works through, filled here as the BATCH section
// is read.
int32_t pdedat_batch_count;
StringList pdedat_batch_names;
uint8_t *pdedat_batch_states;
uint16_t pdedat_batch_index;

void (*rdbatch_free_pde)(pde *p);

static String batch_dir;

// The error report jumps away: its text lives in one static string.
[[noreturn]] static void batch_error(const TextLoc *loc, const char *message) {
  static String m;
  strings_copyto_1(&m, message);
  report_parse_err_0(rdpde_problem, loc, &m);
}

// The entry being read: the last name of the list.
static String *entry() { return &pdedat_batch_names.items[pdedat_batch_names.count - 1]; }

// Appends text, a backslash read as the path separator.
static void add_path(String *d, const char *text, uint32_t length) {
  for (uint32_t k = 0; k < length; k++) strings_append(d, text[k] == '\\' ? uint8_t(settings.separator) : uint8_t(text[k]));
}

// A name as the user wrote it: the reader keeps names upper-cased, but file names
// keep their case, so the name is taken from its source line, which it ends at the
// node's place. Where the line does not hold it (a macro expansion), the stored name.
static void written_name(String *d, const parse_node *n) {
  const String *up = &n->id->name;
  const TextLoc &at = n->loc;
  const StringList *body = at.file ? textin_text_body(at.file) : nullptr;
  if (body && at.line >= 1 && int64_t{at.line} <= body->count) {
    const String *line = &body->items[at.line - 1];
    int64_t start = int64_t{at.column} - 1 - up->length;
    bool same = start >= 0 && start + up->length <= line->length;
    for (uint32_t k = 0; same && k < up->length; k++)
      same = toupper(static_cast<unsigned char>(line->text[start + k])) == static_cast<unsigned char>(up->text[k]);
    if (same) {
      add_path(d, line->text + start, up->length);
      return;
    }
  }
  add_path(d, up->text, up->length);
}

void rdbatch_batchlist1(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batchlist1");
  // A list handed over is running: a listed descriptor may not hold another.
  if (pdedat_batch_count > 0) batch_error(&v[1]->loc, "Nested Batch lists");
  const batch_holder h = rdpde_batch_holder();
  strings_copyto_0(&batch_dir, h.directory);
  settings.batchlog = h.log;
  strings_free_1(&pdedat_batch_names, 1);
  bopmemfree(&pdedat_batch_states);
}

void rdbatch_batchname(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batchname");
  String name = {};
  if (v[1]->token == SYM_STRING)
    add_path(&name, v[1]->value.string.text, v[1]->value.string.length);
  else
    written_name(&name, v[1]);
  strings_one_more(&pdedat_batch_names, &name);
  strings_free_0(&name);
}

void rdbatch_batchcat(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batchcat");
  strings_append(entry(), v[2]->ch == ':' ? ':' : uint8_t(settings.separator));
  written_name(entry(), v[3]);
}

void rdbatch_batchcat2(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batchcat2");
  strings_append(entry(), ':');
  strings_append(entry(), uint8_t(settings.separator));
  written_name(entry(), v[4]);
}

// Completes the entry read last and checks that it names a regular file.
static void check(const parse_node *name) {
  String dir = {}, base = {}, ext = {}, full = {};
  strings_stripname(entry(), &dir, &base, &ext, uint8_t(settings.separator));
  if (dir.length == 0 || dir.text[0] != settings.separator) strings_copyto_0(&full, &batch_dir);
  strings_addto_0(&full, &dir);
  strings_addto_0(&full, &base);
  strings_addto_1(&full, ".pde");
  strings_copyto_0(entry(), &full);
  struct stat st;
  bool found = stat(full.text, &st) == 0 && S_ISREG(st.st_mode);
  if (found) {
    FILE *f = fopen(full.text, "rb");
    found = f != nullptr;
    if (f) fclose(f);
  }
  for (String *s : {&dir, &base, &ext, &full}) strings_free_0(s);
  if (!found) batch_error(&name->loc, "Missing File");
}

void rdbatch_batcheck1(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batcheck1");
  check(v[2]);
}

void rdbatch_batcheck2(parse_node *, parse_node *const *v) {
  TRACE("rdbatch_batcheck2");
  check(v[3]);
}

void rdbatch_batch(parse_node *, parse_node *const *) {
  TRACE("rdbatch_batch");
  pde *p = rdpde_problem;
  const batch_holder h = rdpde_batch_holder();
  // A REPEAT of the list left open would run its body once: it must be closed.
  if (h.open_loop) batch_error(h.open_loop, "Unclosed REPEAT loop");
  // 1. A modified list is offered for saving.
  if (h.modified) appwin.check_save(p);
  // 2. The run controller's batch state: the names, each waiting.
  settings.batch = 1;
  pdedat_batch_count = pdedat_batch_names.count;
  pdedat_batch_index = 0;
  bopmemfree(&pdedat_batch_states);
  bopmemalloc(&pdedat_batch_states, pdedat_batch_count > 0 ? pdedat_batch_count : 1, 1);
  // A list that names no descriptor runs none: its log ends as a run's does, with END
  // under its START (each listed problem writes its own group's END).
  if (pdedat_batch_count == 0 && settings.batchlog) fputs("END\n", settings.batchlog);
  // 3. The holding problem is not run: its texts are closed and its record freed,
  // its log left open as the batch log.
  for (uint16_t *t : h.texts)
    if (*t) textin_close_text(*t), *t = 0;
  rdpde_close_includes(p);
  rdbatch_free_pde(p);
  // 4. The current command is abandoned; the main loop runs the list.
  except_jump(EXCEPT_REPORTED, "BATCH");
}

int rdbatch_init() {
  TRACE("rdbatch");
  return 0;
}
