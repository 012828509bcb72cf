{ bc_dtangential at ERRLIM 1e-4: the answer stays right on the first grid (collocated: 0.104). }
TITLE 'dtangential'
SELECT ERRLIM=1e-4
VARIABLES
  u
DEFINITIONS
  exact = x^2*y + exp(x)*sin(2*y)
  F = -2*y + 3*exp(x)*sin(2*y)
EQUATIONS
  dxx(u) + dyy(u) + F = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=exact LINE TO (1,0) DTANGENTIAL(u)=dy(exact) LINE TO (1,1) VALUE(u)=exact LINE TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
    REPORT VAL(u-exact,0.37,0.61) AS 'pterr'
END
