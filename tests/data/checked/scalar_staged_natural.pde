{ A staged scalar unknown read by a natural condition: each stage builds the scalar's
  equation with its own staged value. u = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  on SPHERE2 coordinates, c = 1 in both stages. Exact: stage 1 u(4/5,9/10) = 1.5040600313,
  INTEGRAL(u) = 8.744428723; stage 2 u(4/5,9/10) = 3.008120063, INTEGRAL(u) = 17.48885745. }
TITLE 'staged scalar in a natural condition'
COORDINATES SPHERE2('X','Y')
SELECT ERRLIM = 0.0001  ORDER = 3  STAGES = 2
VARIABLES u
SCALAR VARIABLES c
INITIAL VALUES c = 1
DEFINITIONS
  stg = STAGED(1, 2)
  ex = stg*(x*y/5 + sin(x + 3/10)*cos(7*y/10)/2 + 1)
  s = -(-stg*x^2*sin(y)*sin(x + 3/10)*cos(7*y/10)/2 + 2*stg*x*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)*sin(y) + stg*(x/5 - 7*sin(7*y/10)*sin(x + 3/10)/20)*cos(y) - 49*stg*sin(y)*sin(x + 3/10)*cos(7*y/10)/200)/(x^2*sin(y))
EQUATIONS
  u: div(grad(u)) + s = 0
  c: c*(8.74442872295477*stg) - INTEGRAL(u) = 0
BOUNDARIES
  REGION 'outer'
    START(1/2,1/2) VALUE(u) = ex LINE TO (3/2,1/2) NATURAL(u) = c*(stg*(y/5 + cos(7*y/10)*cos(x + 3/10)/2)) LINE TO (3/2,3/2) VALUE(u) = ex LINE TO (1/2,3/2) VALUE(u) = ex LINE TO FINISH
PLOTS
    SUMMARY PRINT REPORT VAL(u,4/5,9/10) AS 'u' REPORT c AS 'c' REPORT INTEGRAL(u) AS 'I'
END
