{ Joule heating of an L-shaped conductor whose resistivity is proportional to T (sigma = 1/T),
  with conductivity k = Lw sigma T = 1: div(sigma grad(phi)) = 0, div(k grad(T)) + sigma |grad phi|^2 = 0;
  electrodes at phi = -2 and +2 held at T = 1, other sides insulated. Kohlrausch's relation gives
  T^2 + phi^2 = 5 everywhere, so max T = sqrt(5) = 2.2360680 and the RMS of T^2 + phi^2 - 5 is 0.
  The start T = 1, phi = 0 meets the electrodes' values only after a jump across the first cells. }
TITLE 'Joule heating, Kohlrausch relation'
SELECT NGRID=11
VARIABLES
  phi
  T
INITIAL VALUES
  T = 1
DEFINITIONS
  sigma = 1/T
  k = 1
EQUATIONS
  phi: div(sigma*grad(phi)) = 0
  T: div(k*grad(T)) + sigma*dot(grad(phi), grad(phi)) = 0
BOUNDARIES
  REGION 1
    START(0,0) VALUE(phi)=-2 VALUE(T)=1 LINE TO (1,0)
    NATURAL(phi)=0 NATURAL(T)=0 LINE TO (1,2) TO (3,2)
    VALUE(phi)=2 VALUE(T)=1 LINE TO (3,3)
    NATURAL(phi)=0 NATURAL(T)=0 LINE TO (0,3) TO FINISH
PLOTS
  SUMMARY EXPORT
    REPORT globalmax(T) AS 'Tmax'
    REPORT sqrt(integral((T^2 + phi^2 - 5)^2)/integral(1)) AS 'rms'
END
