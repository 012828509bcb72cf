{ The damped wave of damped_wave_regrid.pde at ERRLIM 5e-6 to t = 0.5, where at x = 1 u = 0.6302352 and
  v = -1.1155362. The error the first steps' coarse meshes left in v was read as error by the finer
  meshes, each split feeding the next: 10,000 nodes by t = 0.2, t = 0.64 after 150 s. }
TITLE 'Damped wave as two variables'
SELECT
  ERRLIM = 5e-6
VARIABLES
  u
  v
DEFINITIONS
  a = 0.25
INITIAL VALUES
  u = sin(pi*x/2)
  v = -a*sin(pi*x/2)
EQUATIONS
  u: dt(u) = v
  v: dt(v) = div(grad(u)) - 2*a*v
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (2,0)
    VALUE(u) = 0 VALUE(v) = 0 LINE TO (2,0.1)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (0,0.1)
    VALUE(u) = 0 VALUE(v) = 0 LINE TO FINISH
TIME 0 TO 0.5
PLOTS
  FOR T = 0.5
    SUMMARY EXPORT
      REPORT val(u, 1, 0.05) AS 'u'
      REPORT val(v, 1, 0.05) AS 'v'
END
