{ A scalar unknown as the multiplier of an integral condition: the source c that makes
  INTEGRAL(u) = 0.035144253 for div(grad(u)) + c = 0 in the unit square with u = 0 on the
  boundary. The integral for a unit source is 0.0351442537, so c = 1.000 and u(1/2,1/2) =
  0.0736714. Tolerance: c within 1e-3 with the default settings, INTEGRAL(u) within 1e-6. }
TITLE 'scalar variable'
VARIABLES
  u
SCALAR VARIABLES
  c
EQUATIONS
  u: div(grad(u)) + c = 0
  c: INTEGRAL(u) - 0.035144253 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY
    REPORT c
    REPORT INTEGRAL(u)
    REPORT EVAL(u,0.5,0.5)
END
