VARIABLES
u
BOUNDARIES
  REGION 1 'plate'
    start(     0.0,     0.0)
    VALUE(u)=0
    line to ( 4.0,     0.0)
    line to ( 4.0, 3.0)
    arc(center= 2.0, 3.0) angle= 180.0
    line to (     0.0,     0.0)
  REGION 2 'hole'
    start( 2.5, 1.5)
    arc(center= 2.0, 1.5) angle= 360.0
    start( 6.0,     0.0)
    line to ( 7.0,     0.0)
    line to ( 7.0, 1.0)
    line to finish
