{ u_t = lap u on [0,1]x[0,0.1], insulated long sides, u = 0 at x = 0, VALUE(u) = 2 - u^2 - 0.5 u at x = 1,
  start u = 0: u(1) = (sqrt(10.25) - 1.5)/2 = 0.8507811 and u(1/2) = 0.4253905 at t = 5 (steady, linear). }
TITLE 'nonlinear boundary value'
SELECT ERRLIM=1e-4
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=2-u*u-0.5*u LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1) VALUE(u)=0 LINE TO FINISH
TIME 0 TO 5
PLOTS FOR T = 5
 SUMMARY EXPORT REPORT val(u,1,0.05) AS 'u1' REPORT val(u,0.5,0.05) AS 'umid'
END
