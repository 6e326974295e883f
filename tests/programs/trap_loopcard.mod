MODULE trap_loopcard;
(* expect-trap: 23: integer overflow *)
(* CARDINAL counters in nested loops: down to 0 and up to MAX(CARDINAL) exactly, and at
   last a subtraction below 0 at the third step of an inner loop. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR top: CARDINAL;

PROCEDURE Drain(c, d: CARDINAL);
VAR i, j, k: CARDINAL;
BEGIN
  k := MAX(CARDINAL) - 6;
  FOR i := 1 TO 3 DO INC(k, 2); DEC(c) END;
  WriteString("ends"); WriteCard(k, 11); WriteCard(c, 3); WriteLn;
  top := k;
  FOR i := 3 TO 1 BY -1 DO k := k - i END;
  WriteCard(top - k, 3); WriteLn;
  FOR i := 1 TO 4 DO
    c := 4 * d - 5 * i;
    WriteCard(i, 2);
    FOR j := 1 TO 3 DO
      WriteCard(c, 4);
      c := c - d
    END;
    WriteLn
  END
END Drain;

BEGIN
  Drain(3, 10)
END trap_loopcard.
