{ Lame cylinder, plane strain, quarter annulus 1 <= r <= 2 in Cartesian coordinates, pressure 1 inside,
  E = 1000, nu = 0.4999 (nearly incompressible, lambda/mu = 5000). Exact: u_r = (1 + nu)/E ((1 - 2 nu) A r + B/r),
  A = 1/3, B = 4/3: u_r(1) = 1.99996666e-3, u_r(2) = 1.00013332e-3; sigma_rr(1.5) = -0.2592593. }
TITLE 'Lame quarter annulus'
SELECT ERRLIM = 1e-4
VARIABLES u v
DEFINITIONS E = 1000 nu = 0.4999 mu = E/(2*(1+nu)) lam = E*nu/((1+nu)*(1-2*nu))
 sxx = (lam+2*mu)*dx(u) + lam*dy(v)  syy = lam*dx(u) + (lam+2*mu)*dy(v)  sxy = mu*(dy(u)+dx(v))
 r = sqrt(x^2+y^2)
EQUATIONS
 u: dx(sxx) + dy(sxy) = 0
 v: dx(sxy) + dy(syy) = 0
BOUNDARIES
REGION 1 START(1,0) VALUE(v)=0 NATURAL(u)=0 LINE TO (2,0)
 NATURAL(u)=0 NATURAL(v)=0 ARC(CENTER=0,0) TO (0,2)
 VALUE(u)=0 NATURAL(v)=0 LINE TO (0,1)
 NATURAL(u)=x/r NATURAL(v)=y/r ARC(CENTER=0,0) TO FINISH
PLOTS SUMMARY EXPORT REPORT val(u,1,0) AS 'ur1' REPORT val(u,2,0) AS 'ur2' REPORT val(u,1.5*cos(pi/4),1.5*sin(pi/4))/cos(pi/4) AS 'ur15'
 REPORT val(sxx, 1.5, 0) AS 'srr15'
END
