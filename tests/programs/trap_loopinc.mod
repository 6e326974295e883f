MODULE trap_loopinc;
(* expect-trap: 26: integer overflow *)
(* INC and DEC of locals in nested loops: steps of constants and of variables that reach
   the ends of INTEGER exactly, and at last an INC past MAX(INTEGER) at the third step of
   an inner loop. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

PROCEDURE Steps(k: INTEGER);
VAR i, x, y: INTEGER;
BEGIN
  x := MAX(INTEGER) - 3 * k; y := MIN(INTEGER) + 3 * k;
  FOR i := 1 TO 3 DO INC(x, k); DEC(y, k) END;
  WriteString("ends"); WriteInt(x, 12); WriteInt(y, 13);
  FOR i := 1 TO 3 DO DEC(x, k); INC(y, k); INC(x); DEC(y) END;
  WriteInt(x, 12); WriteInt(y, 13); WriteLn
END Steps;

PROCEDURE Count;
VAR i, j, x: INTEGER;
BEGIN
  FOR i := 1 TO 4 DO
    x := MAX(INTEGER) - 5 + i;
    WriteInt(i, 2);
    FOR j := 1 TO 3 DO
      WriteInt(x, 12);
      INC(x)
    END;
    WriteLn
  END
END Count;

BEGIN
  Steps(7);
  Count
END trap_loopinc.
