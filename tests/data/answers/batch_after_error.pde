{ A batch whose first problem ends with an error: the second still runs to its answer
  (robin.pde: u(1,0.1) = 0.6180340) and the run's exit code is 1. }
BATCH
  differentiate_error robin
END
