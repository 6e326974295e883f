MODULE mathlib;
(* MathLib0: sqrt, exp, ln, sin, cos, arctan and entier, shown as rounded scaled
   integers. *)
FROM MathLib0 IMPORT sqrt, exp, ln, sin, cos, arctan, entier;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  pi, x: REAL;
  i: INTEGER;

PROCEDURE Show(label: ARRAY OF CHAR; r: REAL);
(* r in millionths, rounded to the nearest *)
BEGIN
  WriteString(label); WriteInt(entier(r * 1000000.0 + 0.5), 12); WriteLn
END Show;

BEGIN
  pi := 4.0 * arctan(1.0);
  Show("pi", pi);
  Show("sqrt 2", sqrt(2.0));
  Show("e", exp(1.0));
  Show("ln 10", ln(10.0));
  Show("sin pi/6", sin(pi / 6.0));
  Show("cos pi/3", cos(pi / 3.0));
  Show("cos pi", cos(pi));
  Show("arctan -1", arctan(-1.0));
  x := 0.0;
  FOR i := 1 TO 100 DO x := x + sin(FLOAT(i)) * sin(FLOAT(i)) + cos(FLOAT(i)) * cos(FLOAT(i)) END;
  Show("sum 100", x);
  WriteInt(entier(2.5), 4); WriteInt(entier(-2.5), 4); WriteInt(entier(-3.0), 4); WriteInt(entier(0.0), 4); WriteLn;
  Show("exp ln", exp(ln(12.5)))
END mathlib.
