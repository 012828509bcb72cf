BOUNDARIES
  REGION 1 'disk'
    start( 5.5, 4.0)
    arc(center= 3.0, 4.0) angle= 360.0
