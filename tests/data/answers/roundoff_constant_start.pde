{ a start that is 1 but for roundoff: u stays 1 }
TITLE 'start constant but for roundoff'
SELECT ERRLIM=1e-3
VARIABLES u
INITIAL VALUES u = sin(3*x)^2 + cos(3*x)^2
EQUATIONS 1e-6*div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1e-3
PLOTS FOR T = 0 1e-3
 SUMMARY EXPORT REPORT val(u,0.3,0.5) AS 'u' REPORT globalmax(abs(u-1)) AS 'dev'
END
