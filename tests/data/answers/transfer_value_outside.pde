{ A VALUE condition reads transfer data on a side at y = 2, outside the unit square
  of the file's mesh: a located error, not the no-data marker taken as a value. }
TITLE 'transfer value read outside its mesh'
VARIABLES
  v
DEFINITIONS
  TRANSFER('transfer_source.dat', w)
EQUATIONS
  div(grad(v)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(v)=0 LINE TO (1,0) TO (1,2) VALUE(v)=w LINE TO (0,2) VALUE(v)=0 LINE TO FINISH
END
