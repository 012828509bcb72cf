{ A box 1 x 1 x 2 extruded in two layers: k = 1 for 0<z<1, k = 2 for 1<z<2 (a layer
  definition of the region), a unit heat source, u = 0 on the bottom and top surfaces,
  insulated sides. Known answer (1D in z): u = -z^2/2 + 5z/6 below, -z^2/4 + 5z/12 + 1/6
  above; u(z=1) = 1/3, the peak 25/72 = 0.3472222 at z = 5/6, the integral of u is
  11/24 = 0.4583333. }
TITLE 'Layered box with a source'
COORDINATES
  CARTESIAN3
VARIABLES
  u
DEFINITIONS
  k = 1
  mid = VAL(u, 0.5, 0.5, 1)
  peak = VAL(u, 0.2, 0.7, 0.8333333)
  total = INTEGRAL(u)
EQUATIONS
  div(k*grad(u)) + 1 = 0
EXTRUSION
  z = 0, 1, 2
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 3 VALUE(u) = 0
  REGION 1
    LAYER 2 k = 2
    START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
