BOUNDARIES
  REGION 1 'plate'
    k=2
    start(     0.0,     0.0)
    VALUE(u)=0
    line to ( 10.0,     0.0)
    line to ( 10.0, 10.0)
    POINT VALUE(u)=1
    line to (     0.0,     0.0)
