{ u = x*y + exp(2*x)*sin(2*y) with fluxes on two sides, under CENTER_ERROR: the answer within 10 ERRLIM |u| (|u| <= 7);
  the global error figure (RMS Err on the plot) between ERRLIM/10 and ERRLIM. }
TITLE 'center smooth'
SELECT CENTER_ERROR  ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x*y + exp(2*x)*sin(2*y)
EQUATIONS div(grad(u)) + (0) = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) NATURAL(u) = y + 2*exp(2)*sin(2*y) LINE TO (1,1) NATURAL(u) = x + 2*exp(2*x)*cos(2) LINE TO (0,1)
    VALUE(u) = ex LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT val(u,0.7,0.8) AS 'u' REPORT val(u,1,1) AS 'u11'
  CONTOUR(u)
END
