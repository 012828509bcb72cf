{ dynamic boundary with a film: u_t = u_xx on 0<x<1, insulated at x=0, u_x = -u_t - u at x=1:
  mode cos(k x) exp(-k^2 t) with k sin k + (k^2 - 1) cos k = 0, k = 0.6762531508 }
TITLE 'dynamic boundary with a film'
SELECT ERRLIM=1e-6
VARIABLES u
INITIAL VALUES u = cos(0.6762531508*x)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) NATURAL(u)=-dt(u)-u LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1) LINE TO FINISH
TIME 0 TO 0.3
PLOTS FOR T = 0.3
 SUMMARY EXPORT REPORT val(u,0,0.05) AS 'u0' REPORT val(u,1,0.05) AS 'u1'
END
