// complexd: the complex value of the complex evaluator and its arithmetic. Every
// operation reads all its inputs before it writes, so a result may alias an operand.
#pragma once

struct complexd {
  double re;
  double im;
};

int complexd_init();

complexd *complexd_dcmplx(complexd *c, double re, double im);
double complexd_cabs(const complexd *c);  // computed directly, without scaling
complexd *complexd_addto(complexd *a, const complexd *b);
complexd *complexd_subto(complexd *a, const complexd *b);
void complexd_copyto(complexd *a, const complexd *b);
complexd *complexd_multo_0(complexd *a, const complexd *b);
complexd *complexd_multo_1(complexd *a, double f);
complexd *complexd_divto(complexd *a, const complexd *b);
void complexd_cadd(complexd *r, const complexd *a, const complexd *b);
void complexd_csub(complexd *r, const complexd *a, const complexd *b);
void complexd_cmul(complexd *r, const complexd *a, const complexd *b);
void complexd_cdiv(complexd *r, const complexd *a, const complexd *b);
// e^a.re (cos a.im, -sin a.im): the conjugate of the usual exponential.
void complexd_cexp(complexd *r, const complexd *a);
