{ A parse error after UTF-8 text on its line: the caret stands under the error. }
TITLE 'ééé'
VARIABLES u
EQUATIONS
  { déjà } div(grad(u)) + = 0
END
