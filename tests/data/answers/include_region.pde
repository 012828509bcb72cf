{ The second region (k = 100 on 0.5 < x < 1) comes from an include file. With it, the
  flux through the two materials in series gives u(0.5,0.1) = 100/101 = 0.990099; without
  it the run ends with a located error naming the file (not the one-material 0.5). }
TITLE 'included region'
VARIABLES
  u
DEFINITIONS
  k = 1
EQUATIONS
  div(k*grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    VALUE(u)=1 LINE TO (1,0.2)
    NATURAL(u)=0 LINE TO (0,0.2)
    VALUE(u)=0 LINE TO FINISH
  #INCLUDE 'region2.inc'
PLOTS
  SUMMARY PRINT REPORT EVAL(u,0.5,0.1)
END
