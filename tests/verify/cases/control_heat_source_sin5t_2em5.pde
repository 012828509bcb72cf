{ u_t = div(grad(u)) + s sin(5t), s = sin(pi x) sin(pi y), u = 0 on the sides, u(0) = 0:
  u = s g(t), g = (2 pi^2 sin(5t) - 5 cos(5t) + 5 exp(-2 pi^2 t))/(4 pi^4 + 25); at t = 1 within
  one ERRLIM times the range (0.0982), at t = 2 within 1.5 ERRLIM. }
TITLE 'heat source sin(5t)'
SELECT ERRLIM = 2e-5
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)  ex = (2*pi^2*sin(5*t) - 5*cos(5*t) + 5*exp(-2*pi^2*t))*sin(pi*x)*sin(pi*y)/(25 + 4*pi^4)
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + s*sin(5*t) = dt(u)
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 2
PLOTS
  FOR T = 1 2
    SUMMARY PRINT REPORT VAL(u,0.5,0.5) AS 'u' REPORT abs(VAL(u,0.5,0.5) - VAL(ex,0.5,0.5)) AS 'err'
END
