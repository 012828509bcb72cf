BOUNDARIES
  REGION 1 'plate'
    start(     0.0,     0.0)
    line to ( 1.0,     0.0)
    line to ( 1.0, 1.0)
    line to (     0.0, 1.0)
    line to finish
