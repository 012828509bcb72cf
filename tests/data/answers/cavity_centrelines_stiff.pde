{ The lid-driven cavity of cavity_centrelines.pde under a penalty ten times stiffer, K = 10000
  (K/nu = 1e6), refined to ERRLIM = 1e-3. The penalty's soft mode, a millionth of its stiff one,
  is read as a locking; the lid's corners hold cells above the limit, and away from them the
  eight values lie within one limit of u's range of the reference there. }
TITLE 'Lid-driven cavity Re 100'
SELECT
  ERRLIM = 1e-3
VARIABLES
  u v
DEFINITIONS
  Re = 100  nu = 1/Re  K = 10000
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
