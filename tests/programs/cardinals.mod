MODULE cardinals;
(* CARDINAL, LONGINT and LONGCARD arithmetic, conversions with VAL, big values. *)
FROM InOut IMPORT Write, WriteInt, WriteCard, WriteLn;

VAR
  c, d: CARDINAL;
  li, lj: LONGINT;
  lc: LONGCARD;
  i: INTEGER;
  k: CARDINAL;

PROCEDURE WriteLong(x: LONGINT);
(* A LONGINT written digit by digit, as InOut has no procedure for it; x > MIN(LONGINT). *)
VAR digits: ARRAY [0 .. 24] OF CHAR; n: CARDINAL;
BEGIN
  IF x < 0 THEN Write("-"); x := -x END;
  n := 0;
  REPEAT
    digits[n] := CHR(ORD("0") + VAL(CARDINAL, x MOD 10));
    x := x DIV 10;
    INC(n)
  UNTIL x = 0;
  WHILE n > 0 DO DEC(n); Write(digits[n]) END
END WriteLong;

BEGIN
  c := MAX(CARDINAL);
  WriteCard(c, 12); WriteLn;
  d := c DIV 7; WriteCard(d, 12); WriteCard(c MOD 7, 3); WriteLn;
  c := 4000000000; d := c - 3999999999;
  WriteCard(d, 3); WriteLn;
  k := 1;
  FOR i := 1 TO 31 DO k := k * 2 END;
  WriteCard(k, 12); WriteLn;
  li := 1;
  FOR i := 1 TO 40 DO li := li * 2 END;
  WriteLong(li); WriteLn;
  lj := -li DIV 3;
  WriteLong(lj); WriteLn;
  WriteLong(MAX(LONGINT)); WriteLn;
  WriteLong(MIN(LONGINT) + 1); WriteLn;
  lc := 10000000000;
  lc := lc * 3 + 7;
  WriteLong(VAL(LONGINT, lc MOD 1000000)); WriteLn;
  i := -42;
  li := VAL(LONGINT, i) * 100000;
  WriteLong(li); WriteLn;
  c := VAL(CARDINAL, 65);
  WriteInt(VAL(INTEGER, c) - 100, 5); WriteLn
END cardinals.
