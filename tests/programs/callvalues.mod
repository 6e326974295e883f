MODULE callvalues;
(* gm2-skip: gm2 12 fails on a set of a range with variable bounds; with the range written
   as two comparisons it gives the same output *)
(* Values that live across calls: arguments made before a call into another module and
   used by the next call, results held while other calls run, operations the machine
   does itself (TRUNC, CAP, set ranges) between calls, and procedure values. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;
FROM MathLib0 IMPORT sqrt, sin, entier;

TYPE Fn = PROCEDURE (INTEGER): INTEGER;

VAR
  i, total: INTEGER;
  f: Fn;
  r: REAL;

PROCEDURE Twice(x: INTEGER): INTEGER;
BEGIN RETURN 2 * x
END Twice;

PROCEDURE Plus(x, y, z: INTEGER): INTEGER;
BEGIN RETURN x + y * 10 + z * 100
END Plus;

PROCEDURE Mix(n: INTEGER): INTEGER;
VAR a, b, c, d: INTEGER; ch: CHAR;
BEGIN
  a := Twice(n);
  b := TRUNC(FLOAT(n) / 3.0);      (* done by the machine, between two calls *)
  c := Plus(a, b, Twice(n + 1));   (* a call inside the arguments of another *)
  ch := CAP(CHR(ORD("a") + VAL(CARDINAL, n MOD 26)));
  IF n MOD 10 IN {a MOD 10 .. c MOD 10} THEN INC(a) END;
  d := Plus(VAL(INTEGER, ORD(ch)), entier(sqrt(FLOAT(n * n))), ABS(n - 7));
  RETURN a + b + c + d + TRUNC(sin(FLOAT(n)) * 100.0 + 200.0)
END Mix;

PROCEDURE Walk(n: INTEGER): INTEGER;
(* Recursion whose locals are read after both calls, in another order than written. *)
VAR left, right, mine: INTEGER;
BEGIN
  IF n <= 1 THEN RETURN n END;
  mine := n * 3;
  left := Walk(n - 1);
  right := Walk(n - 2);
  RETURN right - left + mine + Mix(n)
END Walk;

BEGIN
  total := 0;
  FOR i := 1 TO 40 DO total := total + Mix(i) END;
  WriteString("mix "); WriteInt(total, 1); WriteLn;
  WriteString("walk "); WriteInt(Walk(15), 1); WriteLn;
  f := Twice; total := 0;
  FOR i := 1 TO 10 DO
    total := total + f(i) + Plus(f(i), i, f(f(i)));
    IF ODD(i) THEN f := Twice ELSE f := Mix END
  END;
  WriteString("values "); WriteInt(total, 1); WriteLn;
  r := 0.0;
  FOR i := 1 TO 20 DO r := r + sqrt(FLOAT(i)) * sqrt(FLOAT(i)) END;
  WriteString("roots "); WriteCard(entier(r + 0.5), 1); WriteLn
END callvalues.
