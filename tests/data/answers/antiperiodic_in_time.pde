{ Antiperiodic sides in a time run: u_t = del2(u) on the unit square, u = 0 at y = 0 and y = 1,
  the side x = 1 the antiperiodic image of x = 0, u(0) = cos(pi x) sin(pi y):
  u = cos(pi x) sin(pi y) exp(-2 pi^2 t). At t = 0.2: u(0, 0.5) = 0.0192957 and
  u(1, 0.5) = -0.0192957. The image side's rate is the negative of its master's. }
TITLE 'antiperiodic time'
SELECT
  ERRLIM = 1e-5
  REGRID = OFF
VARIABLES
  u
DEFINITIONS
  ex = cos(pi*x)*sin(pi*y)*exp(-2*pi^2*t)
INITIAL VALUES
  u = cos(pi*x)*sin(pi*y)
EQUATIONS
  div(grad(u)) = dt(u)
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) ANTIPERIODIC(x-1,y) LINE TO (1,1) VALUE(u)=0 LINE TO (0,1) NOBC(u) LINE TO FINISH
TIME 0 TO 0.2
PLOTS
  FOR T = 0.2
    SUMMARY EXPORT
      REPORT val(u,0,0.5) AS 'u0' REPORT val(u,1,0.5) AS 'u1' REPORT sqrt(integral((u-ex)^2)) AS 'L2'
END
