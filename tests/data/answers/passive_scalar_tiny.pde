{ A carrier u = 1 (held at 1 on both ends of the strip, insulated sides) and a passive scalar c
  it carries at Peclet 5, held at 0 and 1e-6 on the ends: c = 1e-6 (exp(5 x) - 1)/(exp(5) - 1),
  c(0.5) = 7.5858180e-8, c(0.8) = 3.6359135e-7; and a scalar z carried the same way, held at 0 on
  both ends: z = 0. Both c and z are zero or tiny against u. }
TITLE 'passive scalars'
SELECT ERRLIM = 1e-4
VARIABLES u c z
EQUATIONS
  u: div(grad(u)) = 0
  c: div(grad(c)) - 5*u*dx(c) = 0
  z: div(grad(z)) - 5*u*dx(z) = 0
BOUNDARIES
  REGION 1
    START(0,0) NATURAL(u) = 0 NATURAL(c) = 0 NATURAL(z) = 0 LINE TO (1,0)
    VALUE(u) = 1 VALUE(c) = 1e-6 VALUE(z) = 0 LINE TO (1,0.2)
    NATURAL(u) = 0 NATURAL(c) = 0 NATURAL(z) = 0 LINE TO (0,0.2)
    VALUE(u) = 1 VALUE(c) = 0 VALUE(z) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.1) AS 'u_mid'
    REPORT val(c, 0.5, 0.1) AS 'c_mid'
    REPORT val(c, 0.8, 0.1) AS 'c_08'
    REPORT globalmax(abs(z)) AS 'z_max'
END
