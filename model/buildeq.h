// buildeq: equation analysis, the run's phase that turns a parsed problem's equations,
// boundary conditions, constraints, scalar equations, initial values, fits and plot
// expressions into the residual and Jacobian trees of the Galerkin weak form, and the
// eight template trees of the fitting code.
//
// Unknowns: field variables 1..V (one equation each), scalar unknowns V+1..V+S, N = V+S.
// A Jacobian tree with respect to unknown k is the derivative with selector -k. Lists
// kept per region have one entry per region of the domain, null where the region takes
// no part (equations: include regions not marked excluded; everything else: include).
#pragma once
#include <cstdint>

#include "model/trees.h"

struct pde;
struct constraint;
struct Domain;

extern uint16_t buildeq_debug;  // the BUILDEQ debug switch of the current problem

// The template trees of the fitting code, entries 1..8 (entry 0 unused), built once.
extern TreeNode *buildeq_fitrees[9];

int buildeq_init();

// Runs the whole analysis of the problem and returns the next phase (7, solve). A
// cycle among the definitions is the parse error "Recursive Definition of " and the
// name; an equation without a variable part in a region "Equation is Empty in Region "
// and the number; errors of the symbolic operations leave the same way.
int32_t buildeq_analyze_eq(pde *p);
// Builds the eight template trees (once; a second call keeps the first ones).
void buildeq_make_fitrees();

// Steps of the analysis (buildeq_analyze_eq runs them with the others in order):
// the field equations; the boundary conditions; the constraints (which leave the
// integral-differentiation flag set); the plot expressions.
void buildeq_build_equations(pde *p);
void buildeq_build_bcs(pde *p);
void buildeq_build_constraints(pde *p);
void buildeq_build_plots(pde *p);
// The region of a plane point (domain_find_region), which the conditions on a joint
// without edges take part in: the domain library fills it when it is linked into the
// program (and again in domain_init).
extern uint16_t (*buildeq_region_at)(const Domain *d, const double *p);
