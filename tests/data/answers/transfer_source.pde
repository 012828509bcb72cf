TITLE 'source'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=x LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  TRANSFER(u) FILE 'transfer_source.dat'
END
