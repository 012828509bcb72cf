{ A source switched on by IF t at t = 0.03 into a field at rest: u_t = lap u + s H(t - 0.03),
  s = sin(pi x) sin(pi y), u(0) = 0 on the unit square, u = 0 on its sides. u(0.5,0.5) =
  (1 - exp(-L (t - 0.03)))/L after the switch, L = 2 pi^2: 0.0459186664 at t = 0.15, the field
  grown to four fifths of its size 1/L. }
TITLE 'source switched into a field at rest'
SELECT ERRLIM=1e-4
VARIABLES u
DEFINITIONS s = sin(pi*x)*sin(pi*y)  sw = IF t > 0.03 THEN 1 ELSE 0
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) + s*sw = dt(u)
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.15
PLOTS FOR T = 0.15 SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u'
END
