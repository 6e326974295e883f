MODULE trap_looplong;
(* expect-trap: 43: integer overflow *)
(* gm2-skip: gm2 divides LONGCARD values above MAX(LONGINT) as signed ones *)
(* LONGINT and LONGCARD arithmetic in loops up to the ends of their ranges, and at last
   factorials in LONGINT, whose product overflows at 21!. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

CONST G = 1000000000;

PROCEDURE WriteLong(x: LONGCARD);
(* x in three groups of nine digits *)
BEGIN
  WriteCard(VAL(CARDINAL, x DIV G DIV G), 3); WriteString(" ");
  WriteCard(VAL(CARDINAL, x DIV G MOD G), 9); WriteString(" ");
  WriteCard(VAL(CARDINAL, x MOD G), 9)
END WriteLong;

PROCEDURE Signed(x: LONGINT);
BEGIN
  IF x < 0 THEN WriteString(" -"); WriteLong(VAL(LONGCARD, -(x + 1)) + 1)
  ELSE WriteString("  "); WriteLong(VAL(LONGCARD, x))
  END;
  WriteLn
END Signed;

PROCEDURE Edges;
VAR i: INTEGER; x, y: LONGINT; c: LONGCARD;
BEGIN
  x := MAX(LONGINT) - 3 * 1000000007; y := MIN(LONGINT) + 3 * 1000000007;
  FOR i := 1 TO 3 DO x := x + 1000000007; y := y - 1000000007 END;
  Signed(x); Signed(y);
  c := MAX(LONGCARD) DIV 4;
  FOR i := 1 TO 2 DO c := c + c DIV 2 + 1 END;
  c := c + (MAX(LONGCARD) - c);
  WriteString(" "); WriteLong(c); WriteLn
END Edges;

PROCEDURE Factorials;
VAR i, j: LONGINT; f: LONGINT;
BEGIN
  FOR i := 18 TO 22 DO
    f := 1;
    FOR j := 2 TO i DO f := f * j END;
    Signed(f)
  END
END Factorials;

BEGIN
  Edges;
  Factorials
END trap_looplong.
