TITLE 'terminated while a box waits'
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0 @
BOUNDARIES REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
