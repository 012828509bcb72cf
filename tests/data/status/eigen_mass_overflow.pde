{ An eigenvalue run whose mass term is near the largest number overflows in the
  solves of its sweep: reported at the equation. }
TITLE 'eigen mass at the largest number'
SELECT MODES = 2
VARIABLES u
EQUATIONS div(grad(u)) + lambda*1e308*u = 0
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
END
