{ Two variables with strong symmetric cross diffusion (a = 0.999): u = sin(pi x) sin(pi y),
  v = sin(2 pi x) sin(pi y) exactly. The slow combination u - v is a diffusion the cells
  represent, not a locking: the run ends on a modest mesh, converged. }
TITLE 'cross diffusion pair'
SELECT ERRLIM = 1e-4
VARIABLES u v
DEFINITIONS a = 0.999 s = sin(pi*x)*sin(pi*y) s2 = sin(2*pi*x)*sin(pi*y)
EQUATIONS
 u: div(grad(u)) + a*div(grad(v)) + 2*pi^2*s + 5*a*pi^2*s2 = 0
 v: a*div(grad(u)) + div(grad(v)) + 2*a*pi^2*s + 5*pi^2*s2 = 0
BOUNDARIES
REGION 1 START(0,0) VALUE(u)=0 VALUE(v)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS SUMMARY EXPORT REPORT val(u,0.5,0.5) AS 'u' REPORT sqrt(integral((u-s)^2)) AS 'l2u' REPORT sqrt(integral((v-s2)^2)) AS 'l2v'
END
