MODULE trap_overflow;
(* expect-trap: 12: integer overflow *)
(* INTEGER multiplication past MAX(INTEGER). *)
FROM InOut IMPORT WriteInt, WriteLn;

VAR
  i, x: INTEGER;

BEGIN
  x := 1;
  FOR i := 1 TO 40 DO
    x := x * 3;
    WriteInt(x, 12); WriteLn
  END
END trap_overflow.
