BOUNDARIES
  REGION 1 'a'
    start(     0.0,     0.0)
    line to ( 1.0,     0.0)
    line to ( 2.0, 1.0)
