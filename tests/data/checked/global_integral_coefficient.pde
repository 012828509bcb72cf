{ div((1 + I) grad u) + 1 = 0, I = INTEGRAL(u): u = w/(1 + I) with w the unit torsion function (w(1/2,1/2) = 0.0736713, its integral 0.0351442), I^2 + I = 0.0351442: u(1/2,1/2) = 0.0712496 }
TITLE 'global_integral_coefficient'
SELECT ERRLIM=1e-5
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)
EQUATIONS div((1 + integral(u))*grad(u)) + 1 = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
