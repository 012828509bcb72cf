{ A convection-dominated boundary layer, Peclet 1000: eps u'' - u' = 0 on 0 <= x <= 1 (strip 0 <= y <= 0.1,
  insulated long sides), u(0) = 0, u(1) = 2, eps = 1e-3, refined to ERRLIM 1e-3. Exact: u = 2 (exp((x - 1)/eps)
  - exp(-1/eps))/(1 - exp(-1/eps)): u(0.998) = 2 exp(-2) = 0.2706706, u(0.996) = 2 exp(-4) = 0.0366313,
  u(0.99) = 2 exp(-10) = 0.0000908. With the range 2 the layer's values hold to twice ERRLIM times the range,
  4e-3. }
TITLE 'Boundary layer Pe 1000'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u
DEFINITIONS
  eps = 1e-3
EQUATIONS
  eps*div(grad(u)) - dx(u) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 LINE TO (1,0)
    VALUE(u) = 2 LINE TO (1,0.1)
    NATURAL(u) = 0 LINE TO (0,0.1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.998, 0.05) AS 'u0998'
    REPORT val(u, 0.996, 0.05) AS 'u0996'
    REPORT val(u, 0.99, 0.05) AS 'u099'
END
