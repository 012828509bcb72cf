{ A side drawn as an arc of radius 1e20 on a unit chord: it bulges 1.25e-21 from its chord and
  is its chord. The unit square's area, and its centre value under div(grad(u)) + 1 = 0 with
  u = 0 round it, 0.0736713532. }
TITLE 'an arc as flat as its chord'
VARIABLES
  u
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 ARC(RADIUS=1e20) TO (1,0) LINE TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT INTEGRAL(1)
    REPORT val(u, 0.5, 0.5) AS 'mid'
END
