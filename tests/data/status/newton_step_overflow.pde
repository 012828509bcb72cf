{ Joule heating with sigma = 1/T and a source of -1e30 in the potential's equation: Newton's first trial
  step is far past what its own sums of squares hold: the iteration has diverged. }
TITLE 'Joule heating, Kohlrausch relation'
SELECT NGRID=3
VARIABLES
  phi
  T
INITIAL VALUES
  T = 1
DEFINITIONS
  sigma = 1/T
  k = 1
EQUATIONS
  phi: div(sigma*grad(phi)) = -1e30
  T: div(k*grad(T)) + sigma*dot(grad(phi), grad(phi)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(phi)=-2 VALUE(T)=1 LINE TO (1,0)
    NATURAL(phi)=0 NATURAL(T)=0 LINE TO (1,2) TO (3,2)
    VALUE(phi)=2 VALUE(T)=1 LINE TO (3,3)
    NATURAL(phi)=0 NATURAL(T)=0 LINE TO (0,3) TO FINISH
END
