{ The transfer file of exports_2d (u = x^2 - y^2 + x y on quadratic cells) read back as w and
  solved for on a mesh of its own: v - w = 0. }
TITLE 'read back'
SELECT NGRID = 5  REGRID = OFF
VARIABLES v
DEFINITIONS TRANSFER('exports_2d.xfr', w)
EQUATIONS v - w = 0
BOUNDARIES REGION 1 START(0,0) NATURAL(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(w,0.3,0.7) AS 'w' REPORT VAL(v,0.55,0.15) AS 'v' REPORT INTEGRAL(w) AS 'int'
END
