{ u'' = 0 on 0 < x < 1 with u(0) = 1 and du/dn = -u^2 at x = 1: u = 1 + a x with
  a^2 + 3a + 1 = 0, a = (sqrt(5) - 3)/2, so u(1) = 0.6180340, u(0.5) = 0.8090170 and the
  net flux through the boundary is 0. }
TITLE 'nonlinear robin'
SELECT
  ERRLIM = 1e-5
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0)
    NATURAL(u)=-u^2 LINE TO (1,0.2)
    NATURAL(u)=0 LINE TO (0,0.2)
    VALUE(u)=1 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT EVAL(u,1,0.1) REPORT EVAL(u,0.5,0.1) REPORT BINTEGRAL(NORMAL(grad(u)))
END
