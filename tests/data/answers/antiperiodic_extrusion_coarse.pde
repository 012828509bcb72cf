{ An antiperiodic side in an extrusion of two layers on a coarse first mesh. With the
  source 1 taken antiperiodic (a square wave in x), u = SUM(m, n odd) 16/(m n pi^2) g(z)
  sin(m pi x/a) sin(n pi y/b), g'' - K^2 g = -1, g(0) = 0, g'(c) = 0, K^2 = (m pi/a)^2 +
  (n pi/b)^2: INTEGRAL(u) = SUM 64 a b (c - tanh(K c)/K) / (m^2 n^2 pi^4 K^2);
  a = 1.18, b = 1.56, c = 0.44: 0.0205117. }
TITLE 'antiperiodic side in an extrusion, coarse'
COORDINATES CARTESIAN3
SELECT NGRID=1
VARIABLES u
EQUATIONS div(grad(u)) + 1 = 0
EXTRUSION z = 0, 0.2, 0.44
BOUNDARIES
  SURFACE 1 VALUE(u)=0
  REGION 1
    START(0,0) VALUE(u)=0 LINE TO (1.18,0) ANTIPERIODIC(x-1.18,y) LINE TO (1.18,1.56) VALUE(u)=0
    LINE TO (0,1.56) NOBC(u) LINE TO FINISH
PLOTS
  SUMMARY EXPORT REPORT INTEGRAL(u) AS 'int'
END
