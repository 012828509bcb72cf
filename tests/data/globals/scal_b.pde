{ A scalar unknown fixed by its own equation: c - 3 = 0, so c = 3 exactly, and
  div(grad(u)) + 3 = 0 in the unit square with u = 0 on the boundary gives INTEGRAL(u) =
  3 x 0.0351442537 = 0.1054328 and u(1/2,1/2) = 3 x 0.0736713533 = 0.2210141.
  Tolerance: c within 1e-9, the others within 1e-3 relative. }
TITLE 'scalar variable'
VARIABLES
  u
SCALAR VARIABLES
  c
EQUATIONS
  u: div(grad(u)) + c = 0
  c: c - 3 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY
    REPORT c
    REPORT INTEGRAL(u)
    REPORT EVAL(u,0.5,0.5)
END
