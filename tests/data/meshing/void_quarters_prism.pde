{ A unit cube with two void quarters of its base, diagonally across, that touch along the
  line x = 0.5, y = 0.5: the solid's two quarters meet along that line, whose cells form two
  fans sharing no face, and a peak centred on it refines it. Manufactured answer
  ue = exp(-((x-0.5)^2 + (y-0.5)^2)/0.02) (1 + z): the void walls lie on its planes of symmetry,
  where the natural condition they carry holds. The volume is 0.5. }
TITLE 'Void quarters touching along a line'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ue = exp(-((x-0.5)^2 + (y-0.5)^2)/0.02)*(1 + z)
EQUATIONS
  div(grad(u)) = (((x-0.5)^2 + (y-0.5)^2)/0.0001 - 200)*ue
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ue
  SURFACE 2 VALUE(u) = ue
  REGION 1
    START(0,0) VALUE(u) = ue LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
  REGION 2
    LAYER 1 VOID
    START(0,0) LINE TO (0.5,0) TO (0.5,0.5) TO (0,0.5) TO FINISH
  REGION 3
    LAYER 1 VOID
    START(0.5,0.5) LINE TO (1,0.5) TO (1,1) TO (0.5,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.55, 0.45, 0.5) - exp(-0.25)*1.5 AS 'pinch'
    REPORT sqrt(integral((u - ue)^2)/integral(1)) AS 'rms'
  TRANSFER(u) FILE 'voidq.dat'
END
