MODULE trap_calldepth;
(* expect-trap: 49: integer overflow *)
(* Procedures that call each other with arguments computed on every way into the call:
   in both arms of an IF, in a loop, in the arms of a CASE, as results of other calls;
   CARDINAL arithmetic with constants up to both ends of its range; and at last a
   subtraction below zero four calls deep. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR
  i, total: CARDINAL;

PROCEDURE Fib(n: CARDINAL): CARDINAL;
BEGIN
  IF n < 2 THEN RETURN n ELSE RETURN Fib(n - 1) + Fib(n - 2) END
END Fib;

PROCEDURE Pair(a, b: CARDINAL): CARDINAL;
BEGIN
  RETURN a * 100 + b
END Pair;

PROCEDURE Choose(k: CARDINAL): CARDINAL;
VAR x, y: CARDINAL;
BEGIN
  IF ODD(k) THEN x := k + 3; y := Fib(k) ELSE x := Fib(k); y := k + 7 END;
  RETURN Pair(x, y)
END Choose;

PROCEDURE Arms(k: CARDINAL): CARDINAL;
VAR r: CARDINAL;
BEGIN
  r := 0;
  CASE k MOD 4 OF
    0: r := Pair(k, 1)
  | 1: r := Pair(Fib(k), k + 2)
  | 2: r := Fib(k + 1)
  ELSE r := Pair(k - 3, Fib(k - 3))
  END;
  RETURN r + 1
END Arms;

PROCEDURE Up(x: CARDINAL): CARDINAL;
BEGIN
  RETURN x + 5
END Up;

PROCEDURE Less(x: CARDINAL): CARDINAL;
BEGIN
  RETURN x - 3
END Less;

PROCEDURE Mix(x, y: CARDINAL): CARDINAL;
BEGIN
  RETURN Pair(Less(x), Up(y)) + Less(Up(x))
END Mix;

PROCEDURE D(n: CARDINAL): CARDINAL;
VAR d: CARDINAL;
BEGIN
  d := n * 2;
  RETURN n + d
END D;

PROCEDURE C(n: CARDINAL): CARDINAL;
VAR c: CARDINAL;
BEGIN
  c := n + 40;
  IF n = 0 THEN RETURN D(c) + c END;
  RETURN D(c - 40) + D(Less(n)) + c
END C;

PROCEDURE B(n: CARDINAL): CARDINAL;
VAR b, k: CARDINAL;
BEGIN
  b := 0;
  FOR k := 1 TO n DO b := b + C(k + 2) END;
  RETURN C(n) + b
END B;

PROCEDURE A(n: CARDINAL): CARDINAL;
VAR a: CARDINAL;
BEGIN
  a := n + 1;
  RETURN B(n) + a
END A;

BEGIN
  total := 0;
  FOR i := 0 TO 12 DO
    total := total + Choose(i) + Arms(i + 3);
    WriteCard(Choose(i), 1); WriteString(" "); WriteCard(Arms(i + 3), 1); WriteLn
  END;
  WriteString("total "); WriteCard(total, 1); WriteLn;
  WriteCard(Up(MAX(CARDINAL) - 5), 1); WriteLn;
  WriteCard(Less(3), 1); WriteLn;
  WriteCard(Mix(3, 1000), 1); WriteLn;
  WriteCard(A(3), 1); WriteLn;
  WriteCard(A(2), 1); WriteLn
END trap_calldepth.
