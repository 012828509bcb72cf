{ Antiperiodic extrusion with a source: exact u = sin(pi x) sin(pi y) cos(pi z), so
  u(0.5,0.5,0) = 1, u(0.5,0.5,1) = -1 and the L2 error is 0 (the source's slave rows
  fold into their masters with the antiperiodic sign, as the operator's do). }
TITLE 'Antiperiodic in z'
COORDINATES CARTESIAN3
SELECT NGRID = 10  ERRLIM = 1e-5  REGRID = OFF
VARIABLES u
DEFINITIONS ex = sin(pi*x)*sin(pi*y)*cos(pi*z)
EQUATIONS div(grad(u)) + 3*pi^2*ex = 0
ANTIPERIODIC EXTRUSION z = 0, 1
BOUNDARIES
  REGION 1 START(0,0) VALUE(u)=0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT REPORT VAL(u,0.5,0.5,0) REPORT VAL(u,0.5,0.5,1) REPORT sqrt(INTEGRAL((u-ex)^2))
END
