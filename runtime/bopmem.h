// bopmem: the one zeroing allocator and release routine, the program-wide memory
// counter XMEM that owners of data keep, and the optional allocation trace.
#pragma once
#include <cstdint>
#include <type_traits>

// Bytes held by the system's containers, strings and records; kept by the owners.
extern int64_t XMEM;

void bopmemalloc_raw(void **p, int32_t count, uint32_t size);
void bopmemfree_raw(void **p);

// Allocates count * size zero bytes into *p; does nothing for count <= 0.
// Running out of memory is the fatal error "MEMORY OVERFLOW".
template <class T> inline void bopmemalloc(T **p, int32_t count, uint32_t size) {
  bopmemalloc_raw(reinterpret_cast<void **>(p), count, size);
}
// Releases *p and clears it; a null pointer is harmless.
template <class T> inline void bopmemfree(T **p) {
  bopmemfree_raw(reinterpret_cast<void **>(const_cast<std::remove_const_t<T> **>(p)));
}

// Work storage a module keeps from call to call (scratch containers that only grow)
// is counted while it is held. Each such module names its release once, through a
// BopmemWork beside the storage; bopmem_release_work runs every named release, and
// the run controller calls it when no problem is open, so the count then returns to
// where it stood before the first problem, whatever sizes the problems reached.
//   static vectord scratch;
//   static BopmemWork scratch_work([] { vectord_free(&scratch); });
struct BopmemWork {
  explicit BopmemWork(void (*release)());
};
void bopmem_release_work();

void rtlib_set_memtrace(int on);
void memtrace();
void memsort();
void bopheapdump();
