{ u_t = lap u on [0,1]x[0,0.1], insulated long sides, u = 0 at x = 0, VALUE(u) = 1 - 0.5 val(u,1,0.05) at x = 1,
  start u = 0: steady u = 2x/3, so u(1) = 2/3 and u(1/2) = 1/3 at t = 5. }
TITLE 'val() in a boundary value'
SELECT ERRLIM=1e-4
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=1-0.5*val(u,1,0.05) LINE TO (1,0.1) NATURAL(u)=0 LINE TO (0,0.1) VALUE(u)=0 LINE TO FINISH
TIME 0 TO 5
PLOTS FOR T = 5
 SUMMARY EXPORT REPORT val(u,1,0.05) AS 'u1' REPORT 2/3 AS 'ex1' REPORT val(u,0.5,0.05) AS 'umid' REPORT 1/3 AS 'exmid'
END
