{ Natural convection in a differentially heated square cavity, Ra = 1e4, Pr = 0.71 (stream function,
  vorticity, temperature; lengths by the side, velocities by kappa/L). Hot wall x = 0 at T = 1, cold x = 1 at
  T = 0, top and bottom adiabatic, no slip. Published benchmark (de Vahl Davis 1983): mean Nusselt 2.243, psi at the centre -5.071 (|psi| 5.071).
  The vorticity transport equation is listed under psi and psi's Poisson equation under omega: each row
  is chiefly about another variable. }
TITLE 'Natural convection Ra 1e4'
SELECT
  ERRLIM = 2e-3
VARIABLES
  psi omega T
DEFINITIONS
  Ra = 1e4
  Pr = 0.71
  u = dy(psi)
  v = -dx(psi)
EQUATIONS
  psi:   Pr*div(grad(omega)) - u*dx(omega) - v*dy(omega) + Ra*Pr*dx(T) = 0
  omega: div(grad(psi)) + omega = 0
  T:     div(grad(T)) - u*dx(T) - v*dy(T) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(psi) = 0 NATURAL(omega) = 0
    NATURAL(T) = 0 LINE TO (1,0)
    VALUE(T) = 0 LINE TO (1,1)
    NATURAL(T) = 0 LINE TO (0,1)
    VALUE(T) = 1 LINE TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT integral(u*T - dx(T)) AS 'Nu_mean'
    REPORT val(psi, 0.5, 0.5) AS 'psi_mid'
END
