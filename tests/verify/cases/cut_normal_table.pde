{ u = x^2 - y^2 + x y on quadratic cells: with the cut's normal (1, 0), normal(grad(u)) = 2x + y. }
TITLE 'cut normal'
SELECT NGRID = 4  REGRID = OFF
VARIABLES u
EQUATIONS div(grad(u)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=x^2-y^2+x*y LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  TABLE(normal(grad(u))) ON x = 0.5 POINTS = (5,5)
END
