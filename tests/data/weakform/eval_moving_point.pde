{ EVAL at coordinates that vary (definitions xp, xq): the definitions that fv reads take the region of the point, as with written numbers. }
TITLE 'region definitions in EVAL'
VARIABLES
  u
DEFINITIONS
  k = 1
  flux = k*dx(u)
  fv = k*grad(u)
  kv = vector(k, 2*k)
  kd = dx(k*x)
  xp = 0.75
  xq = 0.25
EQUATIONS
  div(k*grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=1 LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) VALUE(u)=0 LINE TO FINISH
  REGION 2
    k = 3
    START(0.5,0) LINE TO (1,0) TO (1,1) TO (0.5,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT EVAL(xcomp(fv),xp,0.5) AS 'E xcomp(fv) 1.5'
    REPORT EVAL(xcomp(fv),xq,0.5) AS 'E xcomp(fv) q 1.5'
    REPORT EVAL(magnitude(fv),xp,0.5) AS 'E mag(fv) 1.5'
    REPORT EVAL(flux,xp,0.5) AS 'E flux 1.5'
    REPORT EVAL(ycomp(kv),xp,0.5) AS 'E ycomp(kv) 6'
    REPORT EVAL(kd,xp,0.5) AS 'E kd 3'
END
