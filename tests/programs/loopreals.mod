MODULE loopreals;
(* MathLib0 in loops: sqrt of squares, of zero, of tiny and huge numbers and of 2.0,
   sqrt mixed with sin, cos, exp, ln and entier, results compared with = and <, a Newton
   iteration that runs until two steps are equal, and REAL values held in loops. *)
FROM MathLib0 IMPORT sqrt, exp, ln, sin, cos, entier;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  i, n, equal, below, above: INTEGER;
  x, y, t, sum: REAL;

PROCEDURE Show(label: ARRAY OF CHAR; r: REAL);
(* r in millionths, rounded to the nearest *)
BEGIN
  WriteString(label); WriteInt(entier(r * 1000000.0 + 0.5), 12); WriteLn
END Show;

PROCEDURE Count(label: ARRAY OF CHAR; a, b, c: INTEGER);
BEGIN
  WriteString(label); WriteInt(a, 6); WriteInt(b, 6); WriteInt(c, 6); WriteLn
END Count;

PROCEDURE Newton(a: REAL; VAR steps: INTEGER): REAL;
VAR x, last: REAL;
BEGIN
  x := a; last := 0.0; steps := 0;
  WHILE (x # last) AND (steps < 100) DO
    last := x; x := (x + a / x) * 0.5; INC(steps)
  END;
  RETURN x
END Newton;

BEGIN
  n := 0;
  FOR i := 0 TO 3000 DO
    IF sqrt(FLOAT(i * i)) # FLOAT(i) THEN INC(n) END
  END;
  equal := 0; below := 0; above := 0;
  FOR i := 1 TO 2000 DO
    x := sqrt(FLOAT(i)); y := x * x;
    IF y = FLOAT(i) THEN INC(equal) ELSIF y < FLOAT(i) THEN INC(below) ELSE INC(above) END
  END;
  Count("squares", n, 0, 0);
  Count("squared roots", equal, below, above);
  Show("sqrt 0", sqrt(0.0));
  Show("sqrt 2", sqrt(2.0));
  Show("sqrt tiny", sqrt(1.0E-300) * 1.0E150);
  Show("sqrt huge", sqrt(1.0E300) / 1.0E150);
  Show("sqrt denormal", sqrt(4.0E-320) * 1.0E160);
  sum := 0.0;
  FOR i := 1 TO 10000 DO sum := sum + sqrt(FLOAT(i)) END;
  Show("sum", sum / 1000.0);
  equal := 0; below := 0; above := 0; sum := 0.0;
  FOR i := 1 TO 500 DO
    t := FLOAT(i) * 0.01;
    x := sqrt(sin(t) * sin(t) + cos(t) * cos(t));
    IF x = 1.0 THEN INC(equal) ELSIF x < 1.0 THEN INC(below) END;
    y := exp(ln(sqrt(t)) * 2.0);
    sum := sum + ABS(y - t) + sqrt(exp(t) * 0.001);
    n := entier(-sqrt(t) * 10.0) + entier(sqrt(t) * 10.0);
    IF n # -1 THEN INC(above) END
  END;
  Count("unit", equal, below, 500 - equal - below);
  Count("whole", above, 0, 0);
  Show("mixed", sum);
  x := Newton(2.0, n); WriteInt(n, 3); Show(" newton 2", x);
  x := Newton(1.0E10, n); WriteInt(n, 3); Show(" newton big", x / 100000.0);
  IF x = sqrt(1.0E10) THEN WriteString("same root") ELSE WriteString("other root") END;
  WriteLn;
  x := 1.0; y := 0.0; i := 0;
  REPEAT x := x * 1.5; y := y + sqrt(x); INC(i) UNTIL (x > 1.0E6) OR (y < 0.0);
  WriteInt(i, 3); Show(" growth", y / 1000.0)
END loopreals.
