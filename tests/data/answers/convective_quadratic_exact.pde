{ Convection-diffusion whose exact answer u = x^2 - y^2 + x y is a harmonic quadratic:
  eps div(grad(u)) - dx(u) - dy(u) + 3 x - y = 0, eps = 0.01, u held to the answer on the boundary of the
  unit square. The quadratic cells hold it exactly (the streamline terms vanish on it too), so the first grid
  ends it with an estimate of rounding size: the fluxes across each side, linear along it, cancel between the
  two cells only when the side's odd function is joined across the side with its sign. }
TITLE 'Exact quadratic under convection'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u
DEFINITIONS
  eps = 0.01
  ex = x^2 - y^2 + x*y
EQUATIONS
  eps*div(grad(u)) - dx(u) - dy(u) + 3*x - y = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = ex LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(abs(u - ex)) AS 'maxerr'
END
