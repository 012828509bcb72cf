// bopmem: the zeroing allocator, the release routine and the allocation trace.
#include "runtime/bopmem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/rtlib.h"

int64_t XMEM = 0;

// The named releases of the modules' work storage; built on first use, so a
// module's static BopmemWork may register before or after this file's statics.
static std::vector<void (*)()> &work_releases() {
  static std::vector<void (*)()> releases;
  return releases;
}

BopmemWork::BopmemWork(void (*release)()) { work_releases().push_back(release); }

void bopmem_release_work() {
  for (auto release : work_releases()) release();
}

// Allocation trace: parallel arrays that grow downwards like the trace stack.
struct MemTrace {
  void **address;
  uint32_t *bytes;
  const char **name1, **name2, **name3;
  int32_t top, size;
};
static MemTrace trace;
static int tracing = 0;

void rtlib_set_memtrace(int on) { tracing = on != 0; }

static const char *trace_name(int32_t depth) {
  if (rtlib_trace_size == 0) return "";
  int32_t slot = rtlib_trace_top + depth;
  if (slot > rtlib_trace_size - 1) slot = rtlib_trace_size - 1;
  return rtlib_trace_slots[slot];
}

template <class T> static void grow_array(T **a, int32_t oldsize, int32_t newsize) {
  T *n = static_cast<T *>(calloc(newsize, sizeof(T)));
  if (!n) UNCLE("MEMORY OVERFLOW");
  if (oldsize) memcpy(n + (newsize - oldsize), *a, oldsize * sizeof(T));
  free(*a);
  *a = n;
}

static void trace_record(void *address, uint32_t bytes) {
  if (trace.top == 0) {
    int32_t newsize = trace.size + 1024;
    fprintf(rtlib_log_file(), "_MOREMB_ was %d is %d\n", trace.size, newsize);
    grow_array(&trace.address, trace.size, newsize);
    grow_array(&trace.bytes, trace.size, newsize);
    grow_array(&trace.name1, trace.size, newsize);
    grow_array(&trace.name2, trace.size, newsize);
    grow_array(&trace.name3, trace.size, newsize);
    trace.size = newsize;
    trace.top = 1024;
  }
  int32_t t = --trace.top;
  trace.address[t] = address;
  trace.bytes[t] = bytes;
  trace.name1[t] = trace_name(0);
  trace.name2[t] = trace_name(1);
  trace.name3[t] = trace_name(2);
  fprintf(rtlib_log_file(), " IN %s < %s < %s\n", trace.name1[t], trace.name2[t], trace.name3[t]);
}

void bopmemalloc_raw(void **p, int32_t count, uint32_t size) {
  if (count <= 0) return;
  size_t bytes = static_cast<size_t>(count) * size;
  void *block = calloc(1, bytes ? bytes : 1);
  if (!block) UNCLE("MEMORY OVERFLOW");
  *p = block;
  if (tracing) {
    fprintf(rtlib_log_file(), "BOPMEMALLOC %x AT %lx", static_cast<unsigned>(bytes),
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)));
    trace_record(block, static_cast<uint32_t>(bytes));
  }
}

void bopmemfree_raw(void **p) {
  if (tracing) {
    FILE *log = rtlib_log_file();
    fprintf(log, "BOPMEMFREE %lx\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(*p)));
    if (!*p) return;
    int32_t i = trace.top;
    while (i < trace.size && trace.address[i] != *p) i++;
    if (i == trace.size) {
      static char text[64];
      snprintf(text, sizeof text, "FREE BAD MEMORY ADDRESS %lx",
               static_cast<unsigned long>(reinterpret_cast<uintptr_t>(*p)));
      rtlib_log_line(text);
      rtlib_set_uncle_hook(nullptr);
      UNCLE(text);
    }
    fprintf(log, " (SQUEEZE ITEM %d OF %d", i, trace.size);
    for (int32_t k = i; k > trace.top; k--) {
      trace.address[k] = trace.address[k - 1];
      trace.bytes[k] = trace.bytes[k - 1];
      trace.name1[k] = trace.name1[k - 1];
      trace.name2[k] = trace.name2[k - 1];
      trace.name3[k] = trace.name3[k - 1];
    }
    trace.top++;
    fputs(")", log);
    free(*p);
    *p = nullptr;
    fputs(".\n", log);
    return;
  }
  if (!*p) return;
  free(*p);
  *p = nullptr;
}

static void dump(const char *title, bool by_address) {
  FILE *log = rtlib_log_file();
  int32_t n = trace.size - trace.top;
  uint64_t total = 0;
  if (trace.size == 0) {
    fputs("*NO MEMTRACE DATA*", log);
  } else {
    fprintf(log, "%s  %d ENTRIES\n", title, n);
    int32_t *order = static_cast<int32_t *>(calloc(n ? n : 1, sizeof(int32_t)));
    if (!order) UNCLE("MEMORY OVERFLOW");
    for (int32_t k = 0; k < n; k++) order[k] = trace.top + k;
    if (by_address) {
      // Descending address; insertion sort keeps equal entries in trace order.
      for (int32_t a = 1; a < n; a++) {
        int32_t v = order[a], b = a;
        while (b > 0 && trace.address[order[b - 1]] < trace.address[v]) {
          order[b] = order[b - 1];
          b--;
        }
        order[b] = v;
      }
    }
    for (int32_t k = 0; k < n; k++) {
      int32_t i = order[k];
      fprintf(log, "%8d| %8x BYTES AT %8lx ALLOCATED IN %s < %s < %s\n", i, trace.bytes[i],
              static_cast<unsigned long>(reinterpret_cast<uintptr_t>(trace.address[i])), trace.name1[i],
              trace.name2[i], trace.name3[i]);
      total += trace.bytes[i];
    }
    free(order);
  }
  fprintf(log, " TOTAL=%llx (%llu) Bytes\n", static_cast<unsigned long long>(total),
          static_cast<unsigned long long>(total));
  bopheapdump();
}

void memtrace() { dump("*MEMTRACE*", false); }
void memsort() { dump("*MEMSORT*", true); }

// The C library gives no walk over its heap: the blocks known to the allocation
// trace are the ones listed.
void bopheapdump() {
  FILE *log = rtlib_log_file();
  fputs("BOPHEAPDUMP\n", log);
  if (trace.size == trace.top) {
    fputs("OK - heap is empty\n", log);
    return;
  }
  for (int32_t i = trace.top; i < trace.size; i++)
    fprintf(log, " %s block at %lx of size %4.4x\n", "USED",
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(trace.address[i])), trace.bytes[i]);
  fputs("OK - end of heap\n", log);
}
