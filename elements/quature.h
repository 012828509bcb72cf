// quature: the quadrature rules (volume rules 0-11 and the side sets), the choice of
// rule for a problem, and the per-basis tables of basis values and local derivatives
// at every rule point.
#pragma once
#include <cstdint>

#include "elements/elements.h"

// A rule point: barycentric L1..L4 (beyond the rule's dimension 0) and its weight.
struct QuadPoint {
  double L[4];
  double weight;
};

// A rule: its points; count 0 means no rule. Weights sum to 1 over the reference
// cell, so an integral is the cell measure times the weighted sum.
struct QuadRule {
  uint16_t count;
  QuadPoint *points;
};

// Basis values (row q), local first derivatives (block q) and local second
// derivatives (block q, rows as basisfun_basis_pp1/2/3 order them) of one basis at
// every point of one rule, evaluated once when the table is built.
struct QuadBasis {
  uint16_t count;
  int32_t code;
  LocalPoint *points;
  double (*values)[20];
  double (*derivs)[3][20];
  double (*second)[6][20];
};

// The same for every side s = 0..dimension of a cell.
struct SideQuadBasis {
  QuadBasis side[4];
};

enum { QUATURE_RULES = 12, QUATURE_SIDE_ENTRIES = 28 };

int quature_init();
void quature_init_quadrature();
// Volume rule 0..11.
const QuadRule *quature_rule(int32_t rule);
// Side-set entry: set k, rule side s (0..dimension, opposite vertex s+1).
const QuadRule *quature_side_rule(int32_t set, int32_t side);
// The rule side of a mesh side or face s (1-based, opposite vertex s).
int32_t quature_rule_side(int32_t mesh_side);
// Interior rule and side set for (time-dependent flag, dimension 1..3, order 1..3).
int32_t quature_interior_choice(int time, int dim, int order);
int32_t quature_side_choice(int time, int dim, int order);

void quature_build_vquad_basis(QuadBasis *t, int32_t rule, int32_t code);
void quature_free_vquad_basis(QuadBasis *t);
void quature_build_squad_basis(SideQuadBasis *t, int32_t set, int32_t code);
void quature_free_squad_basis(SideQuadBasis *t, int32_t code);
