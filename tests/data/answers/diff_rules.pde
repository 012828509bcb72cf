TITLE 'diff rules'
VARIABLES
  u
DEFINITIONS
  g1 = atan2(y,x)
  g2 = x^y
  g3 = abs(x-0.5)
  g4 = min(x,y)
  g5 = max(x*x,y)
  g6 = uramp(x-0.2, y-0.5)
  g7 = mod(3*x, 1)
  g8 = sign(x)*x^2
  g9 = if x > 0.5 then x^2 else x^3
  g10 = sum(i, 1, 3, x^2)
  g11 = bessj(4, 3*x)
  g12 = bessy(2, 3*x)
  g13 = (x+y)^(-3)
  g14 = 1/(x*y)
  g15 = x^0.5
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT VAL(dx(g1), 0.3, 0.6)
    REPORT VAL(dy(g1), 0.3, 0.6)
    REPORT VAL(dx(g2), 0.3, 0.6)
    REPORT VAL(dy(g2), 0.3, 0.6)
    REPORT VAL(dx(g3), 0.3, 0.6)
    REPORT VAL(dx(g4), 0.3, 0.6)
    REPORT VAL(dy(g4), 0.3, 0.6)
    REPORT VAL(dx(g5), 0.3, 0.6)
    REPORT VAL(dx(g6), 0.3, 0.2)
    REPORT VAL(dy(g6), 0.3, 0.2)
    REPORT VAL(dx(g7), 0.3, 0.6)
    REPORT VAL(dx(g8), 0.3, 0.6)
    REPORT VAL(dx(g9), 0.3, 0.6)
    REPORT VAL(dx(g9), 0.7, 0.6)
    REPORT VAL(dx(g10), 0.3, 0.6)
    REPORT VAL(dx(g11), 0.3, 0.6)
    REPORT VAL(dx(g12), 0.3, 0.6)
    REPORT VAL(dx(g13), 0.3, 0.6)
    REPORT VAL(dxx(g14), 0.3, 0.6)
    REPORT VAL(dx(g15), 0.3, 0.6)
    REPORT VAL(dx(g2), 0, 0.6)
    REPORT VAL(dx(g15), 0, 0.6)
END
