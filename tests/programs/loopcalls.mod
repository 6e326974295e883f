MODULE loopcalls;
(* Values held in loops across calls: locals that nested procedures change and read,
   rows of a grid that a call moves inside an inner loop, VAR parameters that name the
   same variable, a local changed through its address, recursion and mutual recursion
   that use their locals after the calls, functions called in the middle of expressions
   that change the variables around them, procedure variables, and REAL locals across
   calls. *)
FROM SYSTEM IMPORT ADR;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE
  Step = PROCEDURE (INTEGER, VAR INTEGER);
  IntPtr = POINTER TO INTEGER;

VAR
  g: ARRAY [1 .. 3], [1 .. 4] OF INTEGER;
  row, side, i, j: INTEGER;
  steps: ARRAY [0 .. 2] OF Step;

PROCEDURE Show(label: ARRAY OF CHAR; value: INTEGER);
BEGIN
  WriteString(label); WriteInt(value, 12); WriteLn
END Show;

PROCEDURE UpLevel(n: INTEGER): INTEGER;
VAR x, i, r, s, c: INTEGER;

  PROCEDURE Bump;
  BEGIN
    INC(x, i); r := r MOD 3 + 1
  END Bump;

BEGIN
  x := 0; r := 1; s := 0;
  FOR i := 1 TO n DO
    x := x * 2; Bump; x := x + 1;
    FOR c := 1 TO 4 DO s := s + g[r, c]; Bump END
  END;
  RETURN x * 1000 + s
END UpLevel;

PROCEDURE NextRow;
BEGIN
  row := row MOD 3 + 1
END NextRow;

PROCEDURE Rows(): INTEGER;
VAR c, s, k: INTEGER;
BEGIN
  s := 0;
  FOR k := 1 TO 3 DO
    row := k;
    FOR c := 1 TO 4 DO s := s * 3 + g[row, c]; IF c = 2 THEN NextRow END END;
    s := s MOD 1000003
  END;
  RETURN s
END Rows;

PROCEDURE Twice(VAR a, b: INTEGER);
BEGIN
  a := a + 1; b := b * 2; a := a + b
END Twice;

PROCEDURE AddSide(VAR v: INTEGER);
BEGIN
  side := 5; v := v + side; side := side + v
END AddSide;

PROCEDURE Aliases;
VAR x, y, k: INTEGER; p: IntPtr;
BEGIN
  x := 1; y := 1;
  FOR k := 1 TO 5 DO Twice(x, x); Twice(y, x); x := x MOD 1000; y := y MOD 1000 END;
  side := 2;
  FOR k := 1 TO 3 DO AddSide(side) END;
  p := ADR(x);
  FOR k := 1 TO 4 DO x := x + k; p^ := p^ * 2; x := x - 1 END;
  Show("aliases", x); Show("", y); Show("", side)
END Aliases;

PROCEDURE Tree(n: INTEGER): INTEGER;
VAR a, b, m: INTEGER;
BEGIN
  IF n < 2 THEN RETURN n END;
  m := n * 3;
  a := Tree(n - 1);
  b := Tree(n - 2);
  RETURN (a * 2 + b - m + n) MOD 100003
END Tree;

PROCEDURE Even(n: INTEGER; depth: INTEGER): INTEGER;
VAR k, r: INTEGER;
BEGIN
  k := n * depth;
  IF n = 0 THEN RETURN depth END;
  r := Odd(n - 1, depth + 1);
  RETURN r + k MOD 7
END Even;

PROCEDURE Odd(n: INTEGER; depth: INTEGER): INTEGER;
VAR k, r: INTEGER;
BEGIN
  k := n + depth;
  IF n = 0 THEN RETURN -depth END;
  r := Even(n - 1, depth + 1);
  RETURN r * 2 - k
END Odd;

PROCEDURE Side(k: INTEGER): INTEGER;
BEGIN
  side := side * 3 + k; RETURN k
END Side;

PROCEDURE Middle(): INTEGER;
VAR s, k, t: INTEGER;
BEGIN
  s := 0; side := 1;
  FOR k := 1 TO 6 DO
    t := k * 10 + Side(k) * (k + 1) - k;
    s := s + t * 7 + Side(1) - k;
    side := side MOD 1000
  END;
  RETURN s * 1000 + side
END Middle;

PROCEDURE Many(a, b, c, d, e, f, g, h: INTEGER): INTEGER;
BEGIN
  RETURN ((((((a * 2 + b) * 2 + c) * 2 + d) * 2 + e) * 2 + f) * 2 + g) * 2 + h
END Many;

PROCEDURE Add(k: INTEGER; VAR v: INTEGER);
BEGIN
  v := v + k
END Add;

PROCEDURE Mul(k: INTEGER; VAR v: INTEGER);
BEGIN
  v := v * k MOD 10007
END Mul;

PROCEDURE Swap(k: INTEGER; VAR v: INTEGER);
BEGIN
  v := k - v
END Swap;

PROCEDURE Variables(): INTEGER;
VAR a, b, c, d, k, v: INTEGER; p: Step;
BEGIN
  a := 1; b := 2; c := 3; d := 4; v := 0;
  FOR k := 0 TO 29 DO
    p := steps[k MOD 3];
    p(k, v);
    a := Many(a, b, c, d, k, v, a, b) MOD 1009;
    b := b + a; c := c * 3 MOD 101; d := d - c;
    steps[k MOD 3](a, d)
  END;
  RETURN ((v MOD 1000 * 1000 + a) * 1000 + b MOD 1000) + c + d
END Variables;

PROCEDURE Scale(x: REAL): REAL;
VAR y: REAL;
BEGIN
  y := x * 0.5 + 1.0; RETURN y * y - x
END Scale;

PROCEDURE Reals(): INTEGER;
VAR x, y, z: REAL; k: INTEGER;
BEGIN
  x := 1.5; y := 0.25; z := 0.0;
  FOR k := 1 TO 20 DO
    x := x * 1.125 + Scale(y); y := y + x / 64.0; z := z + Scale(x) - x
  END;
  RETURN TRUNC(z * 1000.0)
END Reals;

BEGIN
  FOR i := 1 TO 3 DO
    FOR j := 1 TO 4 DO g[i, j] := i * 10 + j END
  END;
  steps[0] := Add; steps[1] := Mul; steps[2] := Swap;
  Show("up-level", UpLevel(7));
  Show("rows", Rows());
  Aliases;
  Show("tree", Tree(18));
  Show("even", Even(9, 0));
  Show("odd", Odd(8, 3));
  Show("middle", Middle());
  Show("variables", Variables());
  Show("reals", Reals())
END loopcalls.
