{ Volume integral selectors in 3D: a unit square base in 3 layers z = 0..3; region 2
  ('strip', y > 0.5) is VOID in layer 2 ('middle'). Exact values:
    all = INTEGRAL(1) = 2.5, outer = INTEGRAL(1,1) = 1.5, strip = INTEGRAL(1,2) = 1.0,
    voided = INTEGRAL(1,2,2) = 0, middle = INTEGRAL(1,0,2) = 0.5,
    outermid = INTEGRAL(1,'outer','middle') = 0.5, stripmid = INTEGRAL(1,'strip','middle') = 0,
    high = INTEGRAL(1,'ALL','high') = 1 }
TITLE 'volume integral selectors'
COORDINATES CARTESIAN3
VARIABLES u
DEFINITIONS
  all = INTEGRAL(1)  outer = INTEGRAL(1,1)  strip = INTEGRAL(1,2)  voided = INTEGRAL(1,2,2)  middle = INTEGRAL(1,0,2)
  outermid = INTEGRAL(1,'outer','middle')  stripmid = INTEGRAL(1,'strip','middle')  high = INTEGRAL(1,'ALL','high')
EQUATIONS div(grad(u)) = 0
EXTRUSION
  SURFACE z = 0  LAYER 'low'  SURFACE z = 1  LAYER 'middle'  SURFACE z = 2  LAYER 'high'  SURFACE z = 3
BOUNDARIES
  REGION 'outer' START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=1 LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) VALUE(u)=0 LINE TO FINISH
  REGION 'strip' LAYER 'middle' VOID START(0,0.5) LINE TO (1,0.5) TO (1,1) TO (0,1) TO FINISH
END
