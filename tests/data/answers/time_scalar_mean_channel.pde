{ Heat in the unit square with a uniform source G held by the mean: dt(u) = lap u + G,
  INTEGRAL(u) = 1, u = 0 on x = 0 and x = 1, insulated at y = 0 and y = 1. The start
  6 x (1 - x) + sin(pi x) cos(2 pi y) has mean 1 and the cosine mode decays on its own:
  u = 6 x (1 - x) + sin(pi x) cos(2 pi y) exp(-5 pi^2 t), G = 12 at every time.
  At t = 0.05 u(0.5,0.5) = 1.5 - exp(-pi^2/4) = 1.4151950. }
TITLE 'heat with a source held by the mean'
SELECT ERRLIM = 1e-4
VARIABLES u
SCALAR VARIABLES G
INITIAL VALUES u = 6*x*(1-x) + sin(pi*x)*cos(2*pi*y)
EQUATIONS
  u: dt(u) = div(grad(u)) + G
  G: INTEGRAL(u) = 1
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    NATURAL(u) = 0 LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR t = 0.05 SUMMARY EXPORT REPORT G AS 'G' REPORT val(u, 0.5, 0.5) AS 'mid'
END
