// eispack: the real generalized eigenproblem A x = lambda B x by the QZ algorithm of
// Moler and Stewart: Hessenberg-triangular reduction, QZ iteration, the eigenvalues
// as pairs alpha/beta, and the eigenvectors by back-substitution.
#pragma once
#include <cstdint>

#include "runtime/vectord.h"
#include "runtime/matrixd.h"

int eispack_init();

// The whole path for square a and b of order n (both destroyed): alfr, alfi and beta
// are sized to n and z to n x n; eigenvalue k is (alfr(k) + i alfi(k)) / beta(k) with
// beta(k) >= 0 (0 for an infinite eigenvalue); a complex pair is adjacent, the one with
// positive imaginary part first. With vectors set, column k of z is the eigenvector
// (a complex pair's real and imaginary parts in columns k and k+1, the second value's
// vector being the conjugate), its component of largest modulus of modulus 1; they
// are left out when the iteration fails. ierr is 0, or the index of the eigenvalue
// whose search exhausted the 30 n iterations. A b whose shape differs from a's is
// the fatal "B: Size Mismatch"; a non-square a "MATRIX DIMENSION ERROR".
void eispack_rgg(matrixd *a, matrixd *b, vectord *alfr, vectord *alfi, vectord *beta, uint16_t vectors,
                 matrixd *z, uint16_t *ierr);

// The steps one by one, each on a and b as the step before left them; z, when
// vectors are kept, accumulates the right-hand transformations and must be n x n;
// the value vectors must have n entries ("VECTOR LENGTH ERROR").
// qzhes: a to upper Hessenberg and b to upper triangular form; z starts as identity.
void qzhes(matrixd *a, matrixd *b, uint16_t vectors, matrixd *z);
// qzit: a to quasi-triangular form keeping b triangular. Elements below eps1 times
// their matrix's norm are neglected (the roundoff level when eps1 <= 0, a zero norm
// counting as 1); that tolerance for b is left in b(n,1) for qzval and qzvec.
// One exceptional shift after 10 iterations on one eigenvalue; ierr as above.
void qzit(matrixd *a, matrixd *b, double eps1, uint16_t vectors, matrixd *z, uint16_t *ierr);
// qzval: the remaining 2 x 2 blocks of real eigenvalues split, those of complex pairs
// standardised, and the eigenvalues as alfr, alfi, beta.
void qzval(matrixd *a, matrixd *b, vectord *alfr, vectord *alfi, vectord *beta, uint16_t vectors, matrixd *z);
// qzvec: the eigenvectors of the triangular pencil (b destroyed), taken back through
// z and normalised.
void qzvec(matrixd *a, matrixd *b, const vectord *alfr, const vectord *alfi, const vectord *beta, matrixd *z);

// The unit roundoff of double precision scaled to x: |x| * 2.220446049250313e-16.
double epslon(double x);
