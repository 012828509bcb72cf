{ DTANGENTIAL for both variables of a nonlinear pair, the value of u's reading v. }
TITLE 'dtangential in a pair, nonlinear'
SELECT ERRLIM=1e-5
VARIABLES
  u v
DEFINITIONS
  ue = x^2*y + exp(x)*sin(2*y)
  ve = x + y^2
EQUATIONS
  u: div((1+v^2)*grad(u)) - div((1+ve^2)*grad(ue)) = 0
  v: div(grad(v)) - 2 + (u - ue) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u)=ue VALUE(v)=ve LINE TO (1,0) DTANGENTIAL(u)=dy(ue) + 0.1*(v-ve) DTANGENTIAL(v)=2*y LINE TO (1,1) VALUE(u)=ue VALUE(v)=ve LINE TO (0,1) TO FINISH
PLOTS
  SUMMARY PRINT
    REPORT sqrt(integral((u-ue)^2)/integral(ue^2)) AS 'relL2'
    REPORT sqrt(integral((v-ve)^2)/integral(ve^2)) AS 'relL2v'
END
