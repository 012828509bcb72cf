{ div(exp(u) grad u) + 18 exp(u) = 0, u = 3(x+y): a start that meets its value conditions but
  stands 40 above the exact 3(x+y) in the middle; the first Newton step overflows }
TITLE 'exponential conductivity'
SELECT ERRLIM=1e-5
VARIABLES u
INITIAL VALUES u = 3*(x+y) + 40*sin(pi*x)*sin(pi*y)
DEFINITIONS ex = 3*(x+y)
EQUATIONS div(exp(u)*grad(u)) + 18*exp(ex) = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
