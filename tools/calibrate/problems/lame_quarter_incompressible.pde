{ Quarter of a thick cylinder 1 < r < 2 in plane strain, pressure 1 inside, E = 1000, nu = 0.4999:
  u_r = (1+nu)/E ((1-2nu) r/3 + 4/(3r)); u and v each range over [0, u_r(1)]. }
TITLE 'Lame quarter annulus, nearly incompressible'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  E = 1000 nu = 0.4999 mu = E/(2*(1+nu)) lam = E*nu/((1+nu)*(1-2*nu))
  sxx = (lam+2*mu)*dx(u) + lam*dy(v)  syy = lam*dx(u) + (lam+2*mu)*dy(v)  sxy = mu*(dy(u)+dx(v))
  r = sqrt(x^2+y^2)
  ure = (1+nu)/E*((1-2*nu)*r/3 + 4/(3*r))
  urange = (1+nu)/E*((1-2*nu)/3 + 4/3)
EQUATIONS
  u: dx(sxx) + dy(sxy) = 0
  v: dx(sxy) + dy(syy) = 0
BOUNDARIES
  REGION 1
    START(1,0) VALUE(v)=0 NATURAL(u)=0 LINE TO (2,0)
    NATURAL(u)=0 NATURAL(v)=0 ARC(CENTER=0,0) TO (0,2)
    VALUE(u)=0 NATURAL(v)=0 LINE TO (0,1)
    NATURAL(u)=x/r NATURAL(v)=y/r ARC(CENTER=0,0) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ure*x/r)^2)/integral(1))/urange AS 'err_u'
    REPORT sqrt(integral((v - ure*y/r)^2)/integral(1))/urange AS 'err_v'
END
