{ stiff reaction: u_t = lap u - 1000 u + 1000 s, s = sin(pi x) sin(pi y), u(0)=0:
  u = a(t) s, a = 1000/(1000+2pi^2) (1 - exp(-(1000+2pi^2) t)). }
TITLE 'stiff reaction'
SELECT ERRLIM=1e-4
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)  k = 1000  lam = k + 2*pi^2
  ex = k/lam*(1 - exp(-lam*t))*s
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) - k*u + k*s = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.01
PLOTS FOR T = 0.001 0.01
 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u' REPORT k/lam*(1 - exp(-lam*t)) AS 'exact' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
