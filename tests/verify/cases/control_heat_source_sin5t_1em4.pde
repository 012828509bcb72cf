{ u_t = div(grad(u)) + s sin(5t), s = sin(pi x) sin(pi y), u = 0 on the sides, u(0) = 0:
  u = s g(t), g = (2 pi^2 sin(5t) - 5 cos(5t) + 5 exp(-2 pi^2 t))/(4 pi^4 + 25); at t = 1 and 2
  within 10 ERRLIM times the range (0.0982): 0.43 ERRLIM at t = 1 at 1e-4, 2.0 at 1e-5 (the
  carried error's limit holds most of what a weaker source control leaves: the 3e-5 and 2e-5
  runs check it at one ERRLIM). }
TITLE 'heat source sin(5t)'
SELECT ERRLIM = 1e-4
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
