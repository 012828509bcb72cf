{ A unit point load on the image side of a channel antiperiodic in y (the bottom, onto which the top maps
  with its sign turned), u = 0 on x = 0 and x = 1: -lap u = delta at (0.5, 0) and its images of
  alternating sign. Exact, over the sine modes in x with the antiperiodic Green's function in y:
  u = sum_n 2 sin(n pi/2) sin(n pi x) sinh(n pi (1/2 - y)) / (2 n pi cosh(n pi/2)) for 0 < y < 1:
  u(0.5,0.5) = 0, u(0.3,0.3) = -u(0.3,0.7) = 0.0663337, u(0.5,0.1) = -u(0.5,0.9) = 0.2681890.
  The load's log singularity keeps the error estimate above ERRLIM: four grids, exit 3. }
TITLE 'antiperiodic channel, a point load on the image side'
SELECT ERRLIM = 1e-3 GRIDLIMIT = 4
VARIABLES u
EQUATIONS
  u: div(grad(u)) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (0.5,0) POINT LOAD(u) = 1 LINE TO (1,0)
    VALUE(u) = 0 LINE TO (1,1)
    ANTIPERIODIC(x, y-1) LINE TO (0.5,1) LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.5) AS 'mid'
    REPORT val(u, 0.3, 0.3) AS 'y03'
    REPORT val(u, 0.3, 0.7) AS 'y07'
    REPORT val(u, 0.5, 0.1) AS 'y01'
    REPORT val(u, 0.5, 0.9) AS 'y09'
END
