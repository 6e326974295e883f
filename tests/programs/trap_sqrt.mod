MODULE trap_sqrt;
(* expect-trap: 11: sqrt of a negative number *)
(* MathLib0.sqrt outside its domain. *)
FROM MathLib0 IMPORT sqrt;
FROM InOut IMPORT WriteCard, WriteLn;

VAR x: REAL;

BEGIN
  x := 16.0;
  WHILE TRUE DO WriteCard(TRUNC(sqrt(x)), 3); WriteLn; x := x - 7.0 END
END trap_sqrt.
