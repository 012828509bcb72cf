VARIABLES
u
TITLE 'x'
BOUNDARIES
  REGION 1 '0'
    start(     0.0,     0.0)
    line to ( 1.0,     0.0)
  REGION 2 'plate''s rim'
    start(     0.0,     0.0)
    line to (     0.0, 1.0)
plots
CONTOUR(u)
END
