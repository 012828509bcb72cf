// complexd: complex arithmetic on plain values; nothing allocates.
#include "model/complexd.h"

#include <cmath>

#include "runtime/rtlib.h"

int complexd_init() {
  TRACE("complexd");
  return 0;
}

complexd *complexd_dcmplx(complexd *c, double re, double im) {
  c->re = re;
  c->im = im;
  return c;
}

double complexd_cabs(const complexd *c) { return std::sqrt(c->re * c->re + c->im * c->im); }

void complexd_cadd(complexd *r, const complexd *a, const complexd *b) {
  double re = a->re + b->re, im = a->im + b->im;
  r->re = re, r->im = im;
}

void complexd_csub(complexd *r, const complexd *a, const complexd *b) {
  double re = a->re - b->re, im = a->im - b->im;
  r->re = re, r->im = im;
}

void complexd_cmul(complexd *r, const complexd *a, const complexd *b) {
  double re = a->re * b->re - b->im * a->im, im = a->im * b->re + b->im * a->re;
  r->re = re, r->im = im;
}

void complexd_cdiv(complexd *r, const complexd *a, const complexd *b) {
  double d = b->re * b->re + b->im * b->im;
  double re = (a->re * b->re + a->im * b->im) / d, im = (b->re * a->im - a->re * b->im) / d;
  r->re = re, r->im = im;
}

void complexd_cexp(complexd *r, const complexd *a) {
  double e = std::exp(a->re), c = std::cos(a->im), s = std::sin(a->im);
  r->re = e * c, r->im = -e * s;
}

complexd *complexd_addto(complexd *a, const complexd *b) {
  complexd_cadd(a, a, b);
  return a;
}

complexd *complexd_subto(complexd *a, const complexd *b) {
  complexd_csub(a, a, b);
  return a;
}

void complexd_copyto(complexd *a, const complexd *b) { *a = *b; }

complexd *complexd_multo_0(complexd *a, const complexd *b) {
  complexd_cmul(a, a, b);
  return a;
}

complexd *complexd_multo_1(complexd *a, double f) {
  a->re *= f, a->im *= f;
  return a;
}

complexd *complexd_divto(complexd *a, const complexd *b) {
  complexd_cdiv(a, a, b);
  return a;
}
