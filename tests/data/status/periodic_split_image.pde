{ A periodic top side whose image, the bottom, is split at a point the top lacks: no
  segment of the bottom is the top's image, so the pair is refused at its mapping. }
TITLE 'periodic image split at a point'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) NOBC(u) LINE TO (0.5,0) TO (1,0) VALUE(u)=0 LINE TO (1,1)
    PERIODIC(x,y-1) LINE TO (0,1) VALUE(u)=0 LINE TO FINISH
END
