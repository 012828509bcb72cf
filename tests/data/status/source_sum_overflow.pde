{ A source in range on a plate 600 wide, whose cells weigh over 200: its sum over a cell
  overflows, which is reported at its equation's line. }
TITLE 'source whose cell sum overflows'
VARIABLES
  u
EQUATIONS
  div(grad(u)) = 1e308
BOUNDARIES
  REGION 1
    START(-300,-300) VALUE(u) = 0 LINE TO (300,-300) TO (300,300) TO (-300,300) TO FINISH
END
