{ A spherical problem (SPHERE2) whose equation holds an integral and a point value of the
  solution besides the operator: the volume element multiplies them all.
  exact = exp(r/2)*cos(theta) + r: its Laplacian is lap below; its integral over the part
  (2 pi r^2 sin(theta) dr dtheta) is 11.0103383165760, its value at (0.8, 0.9) 1.72733310296618. }
TITLE 'sphere_global_source'
COORDINATES
  SPHERE2
SELECT ERRLIM=1e-5
VARIABLES
  u
DEFINITIONS
  exact = exp(r/2)*cos(theta) + r
  lap = exp(r/2)*cos(theta)/4 + exp(r/2)*cos(theta)/r + 2/r - 2*exp(r/2)*cos(theta)/r^2
EQUATIONS
  del2(u) - lap + (INTEGRAL(u) - 11.0103383165760)/10 + (VAL(u,0.8,0.9) - 1.72733310296618) = 0
BOUNDARIES
  REGION 1
    START(0.5,0.5) VALUE(u)=exact LINE TO (1.5,0.5) NATURAL(u)=dr(exact) LINE TO (1.5,1.5) VALUE(u)=exact
    LINE TO (0.5,1.5) VALUE(u)=exact LINE TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-exact)^2)/integral(exact^2)) AS 'relL2'
    REPORT VAL(u,0.8,0.9) AS 'u 1.72733'
    REPORT INTEGRAL(u) AS 'integral 11.01034'
END
