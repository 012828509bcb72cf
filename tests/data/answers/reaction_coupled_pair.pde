{ Two variables tied by a strong reaction k (u - v), k = 1e4, both driven alike: u = v = sin(pi x) sin(pi y)
  exactly. The tie is zeroth order, so it locks nothing: the run ends on a modest mesh. }
TITLE 'reaction coupled'
SELECT ERRLIM = 1e-4
VARIABLES u v
DEFINITIONS k = 1e4 s = sin(pi*x)*sin(pi*y)
EQUATIONS
 u: div(grad(u)) - k*(u - v) + 2*pi^2*s = 0
 v: div(grad(v)) - k*(v - u) + 2*pi^2*s = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u' REPORT val(v,0.3,0.5) AS 'v' REPORT sqrt(integral((u-s)^2)) AS 'l2'
END
