{ A time-dependent problem whose start, a narrow bump, the initial mesh cannot resolve. }
TITLE 'Start'
VARIABLES
  u
DEFINITIONS
  bump = exp(-200*((x-0.5)^2+(y-0.5)^2))
  error = sqrt(INTEGRAL((u - bump)^2))
INITIAL VALUES
  u = bump
EQUATIONS
  dt(u) = div(grad(u))
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
TIME 0 TO 1
END
