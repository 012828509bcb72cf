{ Conduction through three layers z = 0, 0.3, 0.7, 1 with k = 1, 4, 2 (layer 2 by layer,
  layer 3 by region and layer), u = 0 below and 1 on top: the flux is 1/sum(dz/k). }
TITLE 'three layers'
COORDINATES CARTESIAN3
VARIABLES u
DEFINITIONS k = 1
EQUATIONS div(k*grad(u)) = 0
EXTRUSION z = 0, 0.3, 0.7, 1
BOUNDARIES
  SURFACE 1 VALUE(u) = 0
  SURFACE 4 VALUE(u) = 1
  REGION 1
    LAYER 2 k = 4
    LAYER 3 k = 2
    START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0.3) AS 'u1' REPORT VAL(u,0.5,0.5,0.7) AS 'u2'
    REPORT VAL(k*dz(u),0.5,0.5,0.15) AS 'q1' REPORT VAL(k*dz(u),0.5,0.5,0.5) AS 'q2'
    REPORT VAL(k*dz(u),0.5,0.5,0.85) AS 'q3'
END
