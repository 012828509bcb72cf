{ Transfer data that holds a value as large as the no-data marker (transfer_huge.dat:
  transfer_source.dat with one node's value 1e308) read by a source: a located error. }
TITLE 'transfer value past any size'
VARIABLES
  v
DEFINITIONS
  TRANSFER('transfer_huge.dat', w)
EQUATIONS
  div(grad(v)) + w = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
