MODULE trap_loopsqrt;
(* expect-trap: 34: sqrt of a negative number *)
(* gm2-skip: gm2's MathLib0 has no real *)
(* MathLib0.sqrt in loops: of negative zero, which is not below zero, of values that
   real and arithmetic compute in the loop, called through a procedure variable, and at
   last of a negative number at the fifth step of a loop. *)
FROM MathLib0 IMPORT sqrt, real, entier;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE Function = PROCEDURE (REAL): REAL;

PROCEDURE Roots(n: INTEGER);
VAR
  i, s: INTEGER;
  x, y: REAL;
  f: Function;
BEGIN
  x := 0.0; x := -x; y := sqrt(x);
  WriteString("zero"); WriteInt(entier(y), 2);
  IF y = 0.0 THEN WriteString(" equal") END;
  WriteLn;
  s := 0;
  FOR i := 0 TO n DO s := s + entier(sqrt(real(i * i + i))) END;
  WriteString("floors"); WriteInt(s, 8); WriteLn;
  f := sqrt; x := 1.0E300; s := 0;
  WHILE x > 1.0 DO x := f(x); INC(s) END;
  WriteString("to one"); WriteInt(s, 4); WriteLn;
  x := 3.0;
  FOR i := 1 TO 8 DO
    y := real(i) * 0.5;
    x := x - 0.75;
    WriteInt(i, 2);
    WriteInt(entier(sqrt(y) * 1000.0), 6);
    WriteInt(entier(sqrt(x) * 1000.0), 6);
    WriteLn
  END
END Roots;

BEGIN
  Roots(1000)
END trap_loopsqrt.
