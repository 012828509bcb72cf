{ A circle shrinking by its curvature (Allen-Cahn, eps = 0.02) from a tanh profile of radius 0.5
  in the quarter square, through a mesh that refines ahead of the front and merges behind it.
  The radially symmetric equation solved on 2400 points (backward Euler, dt = 2e-6) gives the
  area of (1 + u)/2 over the quarter as 0.1654169 at t = 0.02 and 0.1182264 at t = 0.05 (the
  sharp-interface limit R^2 = 0.25 - 2t gives 0.1649336 and 0.1178097). }
TITLE 'Allen-Cahn shrinking circle'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  eps = 0.02
  r = sqrt(x^2 + y^2)
INITIAL VALUES
  u = tanh((0.5 - r)/(sqrt(2)*eps))
EQUATIONS
  dt(u) = div(grad(u)) + (u - u^3)/eps^2
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR T = 0.02 0.05
    SUMMARY EXPORT
      REPORT integral((1 + u)/2) AS 'area'
END
