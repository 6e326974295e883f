MODULE trap_divzero;
(* expect-trap: 12: division by zero *)
(* DIV by a divisor that has become zero. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  d, total: INTEGER;

BEGIN
  total := 0;
  FOR d := 3 TO 0 BY -1 DO
    WriteInt(100 DIV d, 4); WriteLn;
    total := total + 100 DIV d
  END
END trap_divzero.
