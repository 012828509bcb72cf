{ A table of 301 x 301 rows (1.3 MB) beside a contour, written into a folder on a
  disk too small for it. }
TITLE 'full disk'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  CONTOUR(u)
  TABLE(u) POINTS=300 FILE='full/big.tbl'
END
