{ Heat capacity 1 in the unit square and 0 in an inner square written as a region of its own: the inner
  region has no rate. Source 1, u = 0 on the sides, u(0) = 0. The slowest mode decays by exp(-2 pi^2 t):
  by t = 3 the run is steady, u(0.5,0.5) = 0.0736713 (lap u + 1 = 0, double sine series). }
TITLE 'a region without capacity'
SELECT ERRLIM=1e-4
VARIABLES u
DEFINITIONS c = 1
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + 1 = c*dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
REGION 2 c = 0 START(0.3,0.3) LINE TO (0.7,0.3) TO (0.7,0.7) TO (0.3,0.7) TO FINISH
TIME 0 TO 3
PLOTS FOR T = 3 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
