{ A strip whose length is staged, without STAGEGRID: -u'' = 1 on 0 < x < L, u = 0 at
  both ends, so u(L/2) = L^2/8 (0.125, 0.5, 2 for L = 1, 2, 4) and the mean of u across
  the strip's width integrates to L^3/12. }
TITLE 'staged geometry'
SELECT
  STAGES = 3
  ERRLIM = 1e-5
VARIABLES
  u
DEFINITIONS
  L = STAGED(1, 2, 4)
EQUATIONS
  div(grad(u)) + 1 = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u)=0 LINE TO (L,0)
    VALUE(u)=0 LINE TO (L,0.1)
    NATURAL(u)=0 LINE TO (0,0.1)
    VALUE(u)=0 LINE TO FINISH
PLOTS
  SUMMARY PRINT REPORT stage REPORT L REPORT EVAL(u, L/2, 0.05) REPORT L^2/8 REPORT INTEGRAL(u)/0.1 REPORT L^3/12
END
