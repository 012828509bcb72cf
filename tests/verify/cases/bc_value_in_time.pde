{ u_t = div(grad(u)) + s with the boundary values of u = t*x + (x^2 + y^2)*exp(-t). }
TITLE 'value in time'
SELECT ERRLIM = 1e-5
VARIABLES u
DEFINITIONS ex = t*x + (x^2 + y^2)*exp(-t)
INITIAL VALUES u = x^2 + y^2
EQUATIONS div(grad(u)) + (x - (x^2 + y^2)*exp(-t) - 4*exp(-t)) = dt(u)
BOUNDARIES REGION 1 START(0,0) VALUE(u)=ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.25 0.5
    SUMMARY PRINT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
