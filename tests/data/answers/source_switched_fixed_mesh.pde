{ A source switched on by IF t at t = 0.05 on a fixed mesh: u_t = lap u + s H(t - 0.05),
  s = sin(pi x) sin(pi y), u(0) = 0 on the unit square, u = 0 on its sides. u(0.5,0.5) =
  (1 - exp(-L (t - 0.05)))/L after the switch, L = 2 pi^2: 0.0317789921 at t = 0.1. The steps
  after the switch start from the switched rate: none is cut for the switch itself. }
TITLE 'source switched on, fixed mesh'
SELECT ERRLIM=1e-5 NGRID=20 REGRID=OFF
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + s*(IF t > 0.05 THEN 1 ELSE 0) = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS FOR T = 0.1 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
