{ dt(u) = div((1+u^2) grad(u)) + s in the unit square, u = x + (x*y + sin(x))*exp(-t). }
TITLE 'nonlinear in time'
SELECT ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = x + (x*y + sin(x))*exp(-t)
INITIAL VALUES u = x*y + x + sin(x)
EQUATIONS div((1+u^2)*grad(u)) + (-2*x^2*(x + (x*y + sin(x))*exp(-t))*exp(-2*t) - (x + (x*y + sin(x))*exp(-t))*((y + cos(x))*exp(-t) + 1)*(2*(y + cos(x))*exp(-t) + 2) - (x*y + sin(x))*exp(-t) + ((x + (x*y + sin(x))*exp(-t))^2 + 1)*exp(-t)*sin(x)) = dt(u)
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
    SUMMARY PRINT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
