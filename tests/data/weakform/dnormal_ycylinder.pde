{ DNORMAL in YCYLINDER on three sides: u = R^2 + Z^3. }
TITLE 'ycylinder dnormal'
COORDINATES YCYLINDER('R','Z')
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = R^2 + Z^3
EQUATIONS
  div(grad(u)) - 4 - 6*Z = 0
BOUNDARIES
  REGION 1
    START(0.5,0) VALUE(u)=exact LINE TO (1,0) DNORMAL(u)=2 LINE TO (1,1) DNORMAL(u)=3 LINE TO (0.5,1) DNORMAL(u)=-1 LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
END
