{ dt(u) = div(k grad(u)) on 0<x<1 (insulated sides), u = 0 at both ends, u(0) = sin(pi x), with
  k = 1 + 5 pi INTEGRAL(u): u = a(t) sin(pi x), k = 1 + a and a = exp(-pi^2 t)/(2 - exp(-pi^2 t)). }
TITLE 'integral coefficient in time'
SELECT ERRLIM = 1e-5
VARIABLES u
INITIAL VALUES u = sin(pi*x)
EQUATIONS div((1 + 5*pi*INTEGRAL(u))*grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=0 LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=0 LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.1 0.2
    SUMMARY PRINT REPORT VAL(u,0.5,0.05) AS 'u'
END
