{ div(grad u) + s (1 - 30 INTEGRAL(FIT(u))) = 0: the fit holds u, so u(1/2,1/2) = 1/(1 + 60/pi^4)/(2 pi^2) = 0.0313502 }
TITLE 'global_fit_source'
SELECT ERRLIM=1e-5
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)
EQUATIONS div(grad(u)) + s*(1 - 30*integral(fit(u))) = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
