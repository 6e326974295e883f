MODULE trap_divide;
(* expect-trap: 50: integer overflow *)
(* gm2-skip: gm2 -fsoft-check-all stops at DIV of a negative dividend *)
(* DIV and MOD of INTEGER, LONGINT, CARDINAL and LONGCARD values at the ends of their
   ranges, with negative dividends, in loops and procedures; at last the smallest LONGINT
   divided by -1, whose quotient does not fit. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;

VAR
  i, j, x, y: INTEGER;
  lx, ly, lsum: LONGINT;
  c, d, csum: CARDINAL;
  lc, ld: LONGCARD;

PROCEDURE Pair(q, r: INTEGER);
BEGIN
  WriteInt(q, 1); WriteString(" "); WriteInt(r, 1); WriteString("  ")
END Pair;

PROCEDURE Wide(n, m: LONGINT): LONGINT;
BEGIN
  RETURN n DIV m * 1000 + n MOD m
END Wide;

BEGIN
  FOR i := -7 TO 7 BY 7 DO
    FOR j := 1 TO 3 DO x := i * 3 + j; Pair(x DIV 4, x MOD 4) END;
    WriteLn
  END;
  x := MIN(INTEGER); y := 7; Pair(x DIV y, x MOD y); WriteLn;
  x := MAX(INTEGER); y := 10; Pair(x DIV y, x MOD y); WriteLn;
  x := MIN(INTEGER) + 1; y := 1; Pair(x DIV y, x MOD y); WriteLn;
  lsum := 0;
  FOR i := 1 TO 1000 DO
    lx := VAL(LONGINT, i) * 16807 - 9000000;
    lsum := lsum + Wide(lx, VAL(LONGINT, i MOD 97 + 1))
  END;
  WriteString("wide sum "); WriteInt(VAL(INTEGER, lsum MOD 1000000007), 1); WriteLn;
  lx := MIN(LONGINT) + 5; ly := 1000000007;
  WriteInt(VAL(INTEGER, lx MOD ly), 1); WriteString(" ");
  WriteInt(VAL(INTEGER, lx DIV ly DIV 1000000000), 1); WriteLn;
  c := MAX(CARDINAL); d := 7; WriteCard(c DIV d, 1); WriteString(" "); WriteCard(c MOD d, 1); WriteLn;
  csum := 0;
  FOR c := 1 TO 2000 DO csum := (csum * 31 + c) MOD 1000003 + c DIV 3 END;
  WriteCard(csum, 1); WriteLn;
  lc := MAX(LONGCARD); ld := 1000000007;
  WriteCard(VAL(CARDINAL, lc MOD ld), 1); WriteString(" "); WriteCard(VAL(CARDINAL, lc DIV ld DIV 1000000000), 1); WriteLn;
  ly := -1; lx := MIN(LONGINT) + 1; WriteInt(VAL(INTEGER, lx DIV ly MOD 1000), 1); WriteLn;
  lx := MIN(LONGINT); WriteInt(VAL(INTEGER, lx MOD ly), 1); WriteLn;
  WriteInt(VAL(INTEGER, lx DIV ly), 1); WriteLn
END trap_divide.
