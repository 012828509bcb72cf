{ A travelling front of u_t = u_xx + u (1 - u) (u - a), a = 0.25, on the strip 0 < x < 30, 0 < y < 1,
  held at its exact value at both ends, with fixed steps. Exact: u = 1/(1 + exp((x - 10 - c t)/sqrt(2))),
  c = sqrt(2) (1/2 - a); at t = 10 the front is at x = 10 + 10c, and two units ahead of it
  u = 1/(1 + exp(sqrt(2))) = 0.1955703; 'l2' is the L2 norm of the error. }
TITLE 'Nagumo front'
SELECT ERRLIM=1e-4 FIXDT DELTAT=0.01
VARIABLES u
DEFINITIONS a = 0.25 c = sqrt(2)*(0.5-a) ex = 1/(1+exp((x-10-c*t)/sqrt(2)))
INITIAL VALUES u = ex
EQUATIONS div(grad(u)) + u*(1-u)*(u-a) = dt(u)
BOUNDARIES
REGION 1 START(0,0) NATURAL(u)=0 LINE TO (30,0) VALUE(u)=ex LINE TO (30,1) NATURAL(u)=0 LINE TO (0,1) VALUE(u)=ex LINE TO FINISH
TIME 0 TO 10
PLOTS FOR T = 10
 SUMMARY EXPORT REPORT val(u,12+10*c,0.5) AS 'u2' REPORT sqrt(integral((u-ex)^2)) AS 'l2'
END
