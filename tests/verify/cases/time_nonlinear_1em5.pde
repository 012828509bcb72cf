{ u_t = div(grad(u)) in the unit square, u = exp(-2*pi^2*t)*sin(pi*x)*sin(pi*y) (scheme: nonlinear); the
  relative errors stay within 50 ERRLIM. }
TITLE 'time nonlinear'
SELECT ERRLIM = 1e-5  NONLINEAR
VARIABLES u
DEFINITIONS ex = exp(-2*pi^2*t)*sin(pi*x)*sin(pi*y)
INITIAL VALUES u = sin(pi*x)*sin(pi*y)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS
  FOR T = 0.1
    SUMMARY PRINT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2))/(exp(-pi^2/5)/2) AS 'rel'
END
