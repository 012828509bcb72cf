{ Derived globals on the unit square: fits, a saved copy, extremes and point values. }
TITLE 'Fits'
SELECT
  REGRID=OFF
VARIABLES
  u
DEFINITIONS
  q = x^2 + x*y + 2*y^2
  fq = FIT(q)
  fl = FIT(x + 2*y, 0.2)
  s = SAVE(q)
  errq = sqrt(INTEGRAL((fq - q)^2))
  errl = sqrt(INTEGRAL((fl - x - 2*y)^2))
  errs = sqrt(INTEGRAL((s - q)^2))
  lo = GLOBALMIN(q - x)
  lox = GLOBALMIN_X(q - x)
  hi = GLOBALMAX(q)
  hix = GLOBALMAX_X(q)
  hiy = GLOBALMAX_Y(q)
  inside = VAL(q, 0.25, 0.5)
  outside = VAL(u, 5, 5)
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
