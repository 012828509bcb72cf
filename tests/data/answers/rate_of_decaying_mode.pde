{ The rate a run reports: u_t = u_xx on 0 < x < 1, u = 0 at both ends, from u = sin(pi x):
  u = exp(-pi^2 t) sin(pi x), so at x = 0.5 and t = 0.2: u = 0.1389111, dt(u) = -pi^2 u = -1.3709979. }
TITLE 'rate of a decaying mode'
SELECT ERRLIM = 1e-4
VARIABLES u
INITIAL VALUES u = sin(pi*x)
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=0 LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1) VALUE(u)=0 LINE TO FINISH
TIME 0 TO 0.2
PLOTS FOR T = 0.2
  SUMMARY EXPORT REPORT val(u,0.5,0.05) AS 'u' REPORT val(dt(u),0.5,0.05) AS 'ut'
END
