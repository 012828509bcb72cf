{ A prism on a bow-tie: the base path crosses itself at (0.5, 0), so two triangular prisms
  touch along the line x = 0.5, y = 0, and a peak centred on that line refines it: the
  cells around the line form two fans that share no face. Manufactured answer
  ue = exp(-((x-0.5)^2 + y^2)/0.02) (1 + z); the volume is 0.5. }
TITLE 'Bow-tie prism, peak on the pinch'
COORDINATES
  CARTESIAN3
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  ue = exp(-((x-0.5)^2 + y^2)/0.02)*(1 + z)
EQUATIONS
  div(grad(u)) = (((x-0.5)^2 + y^2)/0.0001 - 200)*ue
EXTRUSION
  z = 0, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = ue
  SURFACE 2 VALUE(u) = ue
  REGION 1
    START(0,0) VALUE(u) = ue LINE TO (1,0) TO (1,-1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.55, -0.02, 0.5) - exp(-0.145)*1.5 AS 'pinch'
    REPORT sqrt(integral((u - ue)^2)/integral(1)) AS 'rms'
  TRANSFER(u) FILE 'bowpeak.dat'
END
