{ A time-dependent VALUE with regridding: u_t = del2(u) + f on the unit square with f chosen so that
  u = cos(pi x) sin(pi y) (1 + t) exactly; u = that on the walls. At t = 0.2: u(0,0.5) = 1.2, u(1,0.5) = -1.2,
  L2 error within 1e-4, with regrids at ERRLIM 1e-5. }
TITLE 'time-dependent value'
SELECT
  ERRLIM = 1e-5
VARIABLES
  u
DEFINITIONS
  ex = cos(pi*x)*sin(pi*y)*(1+t)
INITIAL VALUES
  u = cos(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) + cos(pi*x)*sin(pi*y)*(1 + 2*pi^2*(1+t)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) VALUE(u)=ex LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) VALUE(u)=ex LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY EXPORT
      REPORT val(u,0,0.5) AS 'u0' REPORT val(u,1,0.5) AS 'u1' REPORT sqrt(integral((u-ex)^2)) AS 'L2'
END
