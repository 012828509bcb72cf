{ Two modes decaying across the thickness of an extruded unit slab, held at 0 on its top and
  bottom faces, insulated on its sides, at ERRLIM 1e-3. Exact: u = exp(-pi^2 t) sin(pi z)
  + 0.5 exp(-9 pi^2 t) sin(3 pi z); at t = 0.1 the centre is 0.3726385. 'l2' is the RMS error
  against it over the unit volume (the range is about 1.06). }
TITLE 'Slab decay across its thickness'
COORDINATES CARTESIAN3
SELECT ERRLIM = 1e-3
VARIABLES u
DEFINITIONS ex = exp(-pi^2*t)*sin(pi*z) + 0.5*exp(-9*pi^2*t)*sin(3*pi*z)
INITIAL VALUES u = sin(pi*z) + 0.5*sin(3*pi*z)
EQUATIONS div(grad(u)) = dt(u)
EXTRUSION z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1 START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.1
PLOTS FOR T = 0.1
  SUMMARY EXPORT REPORT val(u, 0.5, 0.5, 0.5) AS 'centre' REPORT sqrt(integral((u - ex)^2)) AS 'l2'
END
