MODULE Loops;
(* Loops over arrays of integers and reals, a CASE, sets, a recursion and a range check
   that fails at the end. *)
TYPE Small = [0 .. 9];
VAR a: ARRAY [1 .. 20] OF INTEGER; r: ARRAY [0 .. 7] OF REAL;
  i, j, s: INTEGER; x: REAL; c: CARDINAL; set: BITSET; k: Small;

PROCEDURE Fib(n: CARDINAL): CARDINAL;
BEGIN
  IF n < 2 THEN RETURN n ELSE RETURN Fib(n - 1) + Fib(n - 2) END
END Fib;

BEGIN
  FOR i := 1 TO 20 DO a[i] := i * i - 7 * i END;
  s := 0;
  FOR i := 1 TO 20 DO
    FOR j := i TO 20 DO s := s + a[j] DIV (i + 1) - a[i] MOD 3 END
  END;
  x := 0.5;
  FOR i := 0 TO 7 DO r[i] := x * FLOAT(i); x := x + r[i] / 3.0 END;
  c := Fib(15);
  set := {};
  FOR i := 0 TO 15 DO
    CASE i MOD 4 OF
      0: INCL(set, i)
    | 1: s := s + 1
    | 2, 3: s := s - 1
    END
  END;
  IF x > 100.0 THEN s := -s END;
  k := 0;
  WHILE s > 0 DO s := s DIV 2; INC(k) END
END Loops.
