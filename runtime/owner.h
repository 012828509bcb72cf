// owner: scope owners that release a String, a container or any other held resource
// when the scope is left, whether normally or by the jump back to the catch point, so
// a command abandoned by a reported or fatal error leaks nothing.
#pragma once
#include <utility>

#include "runtime/rtlib.h"
#include "runtime/strings.h"

// While a release runs, the trace guards of the routines it calls push and pop as
// usual, even when the scope is left by the jump: the names of the abandoned frames
// stay below them for the traceback, and a release of many items (every line of a
// text) does not pile its own names onto the trace stack.
struct OwnerReleasing {
  int saved = rtlib_unwinding;
  OwnerReleasing() { rtlib_unwinding = 0; }
  ~OwnerReleasing() { rtlib_unwinding = saved; }
};

// Owns one value of a record kind T released by Free (strings_free_0, vectord_free,
// ...). The value starts empty (all zero); get() hands it to the kind's routines.
//   Owner<String, strings_free_0> name;  strings_copyto_1(name.get(), "x");
template <class T, void (*Free)(T *)> class Owner {
 public:
  Owner() : value_{} {}
  ~Owner() {
    OwnerReleasing releasing;
    Free(&value_);
  }
  Owner(const Owner &) = delete;
  Owner &operator=(const Owner &) = delete;

  T *get() { return &value_; }
  T *operator->() { return &value_; }
  T &operator*() { return value_; }

 private:
  T value_;
};

using StringOwner = Owner<String, strings_free_0>;

// Runs a release action when the scope is left, unless dismissed first: for a
// resource that is handed on only when the work that fills it succeeds.
//   auto undo = owner_guard([&] { close_it(n); });  ...  undo.dismiss();
template <class F> class OwnerGuard {
 public:
  explicit OwnerGuard(F release) : release_(std::move(release)) {}
  ~OwnerGuard() {
    if (!armed_) return;
    OwnerReleasing releasing;
    release_();
  }
  OwnerGuard(const OwnerGuard &) = delete;
  OwnerGuard &operator=(const OwnerGuard &) = delete;
  void dismiss() { armed_ = false; }

 private:
  F release_;
  bool armed_ = true;
};

template <class F> OwnerGuard<F> owner_guard(F release) { return OwnerGuard<F>(std::move(release)); }
