{ A scalar unknown c tied to the integral of u: div(grad(u)) + c = 0 in the unit square
  with u = 0 on the boundary, and c = 2 INTEGRAL(u) + 1. The integral of u for a unit
  source is 0.0351442537, so c = 1/(1 - 2 x 0.0351442537) = 1.0756025, INTEGRAL(u) =
  0.0378012 and u(1/2,1/2) = 0.0736713533 c = 0.0792411. Tolerance: c within 1e-4, the
  others within 1e-3 relative. }
TITLE 'scalar variable'
VARIABLES
  u
SCALAR VARIABLES
  c
EQUATIONS
  u: div(grad(u)) + c = 0
  c: c - 2*INTEGRAL(u) - 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY
    REPORT c
    REPORT INTEGRAL(u)
    REPORT EVAL(u,0.5,0.5)
END
