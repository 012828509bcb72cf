{ DNORMAL with an anisotropic flux (2ux+uy, ux+3uy): manufactured u = exp(x)sin(y) + x*y^2. }
TITLE 'aniso dnormal'
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = exp(x)*sin(y) + x*y^2
  ux = exp(x)*sin(y) + y^2
  uy = exp(x)*cos(y) + 2*x*y
  F = vector(2*dx(u) + dy(u), dx(u) + 3*dy(u))
  Fe = vector(2*ux + uy, ux + 3*uy)
EQUATIONS
  div(F) - div(Fe) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=exact LINE TO (1,0) DNORMAL(u)=ux LINE TO (1,1) DNORMAL(u)=uy LINE TO (0,1) VALUE(u)=exact LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
    REPORT VAL(u-exact,1,1) AS 'corner'
END
