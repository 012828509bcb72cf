BOUNDARIES
  REGION 1 'cup'
    start(     0.0,     0.0)
    arc(center= 1.0,     0.0) angle= 180.0
    line to finish
