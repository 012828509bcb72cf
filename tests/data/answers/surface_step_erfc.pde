{ A long strip from u = 0 with its end x = 0 held at 1: u = erfc(x / (2 sqrt t)) while the far end
  at x = 6 sees nothing. At t = 0.01, u(0.5) = erfc(2.5) = 0.000406952 and u(0.1) = erfc(0.5) =
  0.4795001. The layer is a few cells of the start wide; the curvature of its cells did not see it. }
TITLE 'Surface step'
SELECT ERRLIM = 1e-4
VARIABLES u
INITIAL VALUES u = 0
EQUATIONS div(grad(u)) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (6,0) NATURAL(u)=0 LINE TO (6,0.2) NATURAL(u)=0 LINE TO (0,0.2) VALUE(u)=1 LINE TO FINISH
TIME 0 TO 0.01
PLOTS FOR T = 0.01
 SUMMARY EXPORT REPORT val(u,0.1,0.1) AS 'u01' REPORT val(u,0.5,0.1) AS 'u05'
END
