MODULE proctypes;
(* Procedure types and variables: procedures as parameters and results of selection,
   arrays of procedures, PROC, comparison with a procedure. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE
  Op = PROCEDURE (INTEGER, INTEGER): INTEGER;
  Action = PROCEDURE (VAR INTEGER);

VAR
  ops: ARRAY [0 .. 3] OF Op;
  op: Op;
  act: Action;
  p: PROC;
  i, x: INTEGER;

PROCEDURE Add(a, b: INTEGER): INTEGER; BEGIN RETURN a + b END Add;
PROCEDURE Sub(a, b: INTEGER): INTEGER; BEGIN RETURN a - b END Sub;
PROCEDURE Mul(a, b: INTEGER): INTEGER; BEGIN RETURN a * b END Mul;
PROCEDURE Max(a, b: INTEGER): INTEGER;
BEGIN
  IF a > b THEN RETURN a ELSE RETURN b END
END Max;

PROCEDURE Double(VAR v: INTEGER); BEGIN v := 2 * v END Double;
PROCEDURE Hello; BEGIN WriteString("hello from PROC") END Hello;

PROCEDURE Fold(f: Op; start: INTEGER; n: INTEGER): INTEGER;
VAR i, r: INTEGER;
BEGIN
  r := start;
  FOR i := 1 TO n DO r := f(r, i) END;
  RETURN r
END Fold;

PROCEDURE Apply(a: Action; times: INTEGER; VAR v: INTEGER);
BEGIN
  WHILE times > 0 DO a(v); DEC(times) END
END Apply;

BEGIN
  ops[0] := Add; ops[1] := Sub; ops[2] := Mul; ops[3] := Max;
  FOR i := 0 TO 3 DO WriteInt(ops[i](7, 3), 4) END;
  WriteLn;
  WriteInt(Fold(Add, 0, 10), 6); WriteInt(Fold(Mul, 1, 10), 9); WriteInt(Fold(Sub, 0, 4), 5); WriteLn;
  op := Max;
  IF op = Max THEN WriteString("op is Max") END;
  IF op # Add THEN WriteString(", not Add") END;
  WriteLn;
  act := Double; x := 3;
  Apply(act, 5, x);
  WriteInt(x, 5); WriteLn;
  p := Hello; p; WriteLn
END proctypes.
