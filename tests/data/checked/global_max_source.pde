{ div(grad u) + s (1 - 5 max u) = 0: the maximum is u(1/2,1/2) = A/(2 pi^2) = 0.0404217, A = 1/(1 + 5/(2 pi^2)) }
TITLE 'global_max_source'
SELECT ERRLIM=1e-5
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)
EQUATIONS div(grad(u)) + s*(1 - 5*globalmax(u)) = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
