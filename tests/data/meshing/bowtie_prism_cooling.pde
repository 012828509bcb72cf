{ A bow-tie prism at u = 1 with walls at 0, cooled at a node limit: the two prisms touch
  along x = 0.5, y = 0, and the cells around that line are split and merged again as the
  wall layer thins out. The mesh at the end must be sound with volume 0.5. }
TITLE 'Cooling bow-tie prism'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
  NODELIMIT = 10000
VARIABLES
  u
INITIAL VALUES
  u = 1
EQUATIONS
  dt(u) = div(grad(u))
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,-1) TO (0,1) TO FINISH
TIME 0 TO 0.05
PLOTS
  FOR T = 0.05
    TRANSFER(u) FILE 'bowcool.dat'
END
