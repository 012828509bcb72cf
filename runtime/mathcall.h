// rtlib_math: a call of a C math function whose floating-point exceptions trap, as the
// program's own operations do, where the unwinding tables let the trap's throw pass.
#pragma once
#include <cfenv>

// glibc declares its math functions noexcept, so the compiler may give a call to one no
// unwinding entry (gcc at -O1 does): the throw of a trap inside one then ends the program.
// rtlib_math makes such a call with the traps masked, then raises the exceptions it flagged
// again in rtlib_raise_flags, on an operation of its own, where the trap unwinds (or is
// held) as any other. The result is the call's, bit for bit.
void rtlib_raise_flags(int flags);
template <class F> double rtlib_math(F f) {
  fenv_t env;
  feholdexcept(&env);
  double r = f();
  int flags = fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  fesetenv(&env);
  if (flags) rtlib_raise_flags(flags);
  return r;
}
