{ A bump on the periodic seam of a cube, on linear tetrahedra: u = sin(pi y) sin(pi z) B(x) with
  B = exp(5 (cos(2 pi x) - 1)), periodic in x (peak 1 on the seam x = 0 ~ 1), u = 0 on the other
  faces. The refiner splits seam legs again and again within one pass; a leg ending at a seam node
  made earlier in that pass must take its image leg along, or the pass ends with an unmatched
  periodic node (the run failed). It meets ERRLIM 1e-2: the largest error is within 1.5e-2. }
TITLE 'Bump on a periodic seam, linear cells'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-2
  ORDER = 1
VARIABLES
  u
DEFINITIONS
  c = 5
  sy = sin(pi*y)  sz = sin(pi*z)
  cs = cos(2*pi*x)  sn = sin(2*pi*x)
  B = exp(c*(cs - 1))
  Bpp = B*((2*pi*c*sn)^2 - 4*pi^2*c*cs)
  exact = sy*sz*B
EQUATIONS
  div(grad(u)) + sy*sz*(2*pi^2*B - Bpp) = 0
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 2 VALUE(u) = 0
  REGION 1
    START(0,0) VALUE(u) = 0 LINE TO (1,0) PERIODIC(x-1,y) LINE TO (1,1) VALUE(u) = 0 LINE TO (0,1) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(abs(u - exact)) AS 'maxerr'
END
