{ del2(u) = -1 on the unit square, u = 0 on its sides, through div of an IF with vector branches (the
  same flux on both sides of x = 2): the Poisson centre value 0.0736713. }
TITLE 'div if'
VARIABLES
  u
EQUATIONS
  div(if x < 2 then grad(u) else 2*grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT val(u,0.5,0.5) AS 'centre'
END
