{ A unit square extruded through z = max(0, x-0.5) to z = 1: layer 1 is pinched to zero
  thickness for x < 0.5 and thins to nothing along x = 0.5; region 2 (0.2<x,y<0.4) is void
  in layer 2. The first mesh fills the volume 1 - 0.04 = 0.96 exactly and every dihedral
  angle of its tetrahedra exceeds 5 degrees. }
TITLE 'extrusion pinched layer, void'
COORDINATES
  CARTESIAN3
SELECT
  REGRID=OFF
VARIABLES
  u
DEFINITIONS
  k = 1
EQUATIONS
  div(k*grad(u)) + 1 = 0
EXTRUSION
  z = 0, max(0, x-0.5), 1
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 2
    LAYER 2 VOID
    START(0.2,0.2) LINE TO (0.4,0.2) TO (0.4,0.4) TO (0.2,0.4) TO FINISH
PLOTS
  TRANSFER(u) FILE 'kink.dat'
END
