MODULE reals;
(* REAL and LONGREAL arithmetic, FLOAT, TRUNC, comparisons; values shown as scaled
   integers so that no real format is involved. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;

VAR
  x, y, sum: REAL;
  lx: LONGREAL;
  i: INTEGER;
  n: CARDINAL;

PROCEDURE Show(label: ARRAY OF CHAR; r: REAL);
(* r in thousandths, rounded towards zero *)
BEGIN
  WriteString(label);
  IF r < 0.0 THEN WriteString(" -"); WriteCard(TRUNC(-r * 1000.0), 1)
  ELSE WriteString(" "); WriteCard(TRUNC(r * 1000.0), 1)
  END;
  WriteLn
END Show;

BEGIN
  x := 2.5; y := 0.4;
  Show("x + y", x + y);
  Show("x - y", x - y);
  Show("y - x", y - x);
  Show("x * y", x * y);
  Show("x / y", x / y);
  Show("-x", -x);
  Show("FLOAT(7) / 2.0", FLOAT(7) / 2.0);
  WriteCard(TRUNC(3.99), 3); WriteCard(TRUNC(0.5E1), 3); WriteCard(TRUNC(1.0E2), 4); WriteLn;
  sum := 0.0;
  FOR i := 1 TO 1000 DO sum := sum + 1.0 / FLOAT(i) END;
  Show("harmonic 1000", sum);
  sum := 1.0;
  FOR i := 1 TO 20 DO sum := sum * 2.0 END;
  Show("2^20", sum);
  IF (x > y) & (y >= 0.4) & (x # y) & (-x < y) THEN WriteString("compare ok") END;
  WriteLn;
  lx := 1.5;
  lx := lx * 4.0 - 0.25;
  n := TRUNC(lx * 100.0);
  WriteCard(n, 6); WriteLn;
  x := 1.0E-3; y := 1.0E3;
  Show("tiny * huge", x * y);
  i := -7;
  Show("FLOAT(ABS(i))", FLOAT(ABS(i)));
  Show("ABS(-1.25)", ABS(-1.25))
END reals.
