{ A Sturm-Liouville operator L u = -(x^2 u')' on 1 < x < e with its weight inside the derivative, in
  a strip insulated along y, and the problem L L w = lambda L w written with m = L w: LAMBDA on a
  derivative whose weight stands inside it. The modes w = x^(-1/2) sin(n pi ln x) give
  lambda = 1/4 + n^2 pi^2: 10.1196044, 39.7284176, 89.0764396 (the strip's cross modes lie above
  16 pi^2 + 1/4). }
TITLE 'weight inside the derivative'
SELECT MODES = 3 ERRLIM = 1e-4
VARIABLES w, m
DEFINITIONS
  p = x^2
EQUATIONS
  w: div(p*grad(w)) + m = 0
  m: div(p*grad(m)) - lambda*div(p*grad(w)) = 0
BOUNDARIES
  REGION 1
    START(1,0) NATURAL(w)=0 NATURAL(m)=0 LINE TO (exp(1),0) VALUE(w)=0 VALUE(m)=0 LINE TO (exp(1),0.25)
    NATURAL(w)=0 NATURAL(m)=0 LINE TO (1,0.25) VALUE(w)=0 VALUE(m)=0 LINE TO FINISH
END
