{ The pressurised quarter annulus of lame_quarter_annulus_incompressible (plane strain, E = 1000,
  nu = 0.4999, lambda/mu = 5000) to ERRLIM 1e-3, stiff enough that its divergence is held as a
  constraint. Its exact answer, u_r = r/(6 (lambda + mu)) + 2/(3 mu r), keeps a divergence of its
  own, 1/(3 (lambda + mu)) = 2.0e-7, the solid's compressibility: the run measures it as 1.5e-4 of
  the range (2.0e-3), which is no error of this answer. The RMS errors of u and v relative to that
  range are read against the exact answer; the grid's RMS estimate reads them within a factor of
  three (it took that divergence in and read 3.4 times them). }
TITLE 'Lame quarter annulus, the estimate against its own answer'
SELECT ERRLIM = 1e-3
VARIABLES u v
DEFINITIONS E = 1000 nu = 0.4999 mu = E/(2*(1+nu)) lam = E*nu/((1+nu)*(1-2*nu))
 sxx = (lam+2*mu)*dx(u) + lam*dy(v)  syy = lam*dx(u) + (lam+2*mu)*dy(v)  sxy = mu*(dy(u)+dx(v))
 r = sqrt(x^2+y^2)
 ur = (1/3)/(2*(lam+mu))*r + (4/3)/(2*mu)/r
 rng = (1/3)/(2*(lam+mu)) + (4/3)/(2*mu)
EQUATIONS
 u: dx(sxx) + dy(sxy) = 0
 v: dx(sxy) + dy(syy) = 0
BOUNDARIES
REGION 1 START(1,0) VALUE(v)=0 NATURAL(u)=0 LINE TO (2,0)
 NATURAL(u)=0 NATURAL(v)=0 ARC(CENTER=0,0) TO (0,2)
 VALUE(u)=0 NATURAL(v)=0 LINE TO (0,1)
 NATURAL(u)=x/r NATURAL(v)=y/r ARC(CENTER=0,0) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT sqrt(integral((u - ur*x/r)^2)/integral(1))/rng AS 'rms_u'
    REPORT sqrt(integral((v - ur*y/r)^2)/integral(1))/rng AS 'rms_v'
END
