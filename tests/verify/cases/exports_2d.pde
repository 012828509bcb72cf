{ u = x^2 - y^2 + x y in the unit square, held exactly by quadratic cells; every export is
  read back and compared with it. }
TITLE 'exports'
SELECT NGRID = 6  REGRID = OFF
VARIABLES u
DEFINITIONS ex = x^2 - y^2 + x*y
EQUATIONS div(grad(u)) = 0
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.3,0.7) AS 'u' REPORT INTEGRAL(u) AS 'int'
  TABLE(u) POINTS=(3,3)
  CDF(u) POINTS=(5,5)
  TECPLOT(u)
  TRANSFER(u) FILE 'exports_2d.xfr'
  ELEVATION(u) FROM (0,0) TO (1,1) PRINT
  CONTOUR(u)
END
