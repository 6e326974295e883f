MODULE Results;
(* Function results of records, arrays and large sets; a procedure variable of such a
   function; a result passed on as a value parameter. *)
TYPE
  R = RECORD a, b: INTEGER END;
  Vec = ARRAY [1..4] OF INTEGER;
  Big = SET OF [0..99];
  Name = ARRAY [0..7] OF CHAR;
  F = PROCEDURE (INTEGER): R;
VAR r: R; v: Vec; b: Big; n: Name; f: F; i: INTEGER;

PROCEDURE Make(x: INTEGER): R;
VAR t: R;
BEGIN t.a := x; t.b := 2 * x; RETURN t END Make;

PROCEDURE Swap(x: R): R;
VAR t: R;
BEGIN t.a := x.b; t.b := x.a; RETURN t END Swap;

PROCEDURE Ramp(k: INTEGER): Vec;
VAR w: Vec; j: INTEGER;
BEGIN FOR j := 1 TO 4 DO w[j] := j * k END; RETURN w END Ramp;

PROCEDURE Evens(): Big;
VAR x: Big; j: INTEGER;
BEGIN x := Big{}; FOR j := 0 TO 99 BY 2 DO INCL(x, j) END; RETURN x END Evens;

PROCEDURE Hello(): Name;
BEGIN RETURN "hello" END Hello;

PROCEDURE Outer(): INTEGER;
VAR t: R;
  PROCEDURE Inner(): R;
  BEGIN RETURN Make(7) END Inner;
BEGIN t := Inner(); RETURN t.a + t.b END Outer;

BEGIN
  r := Swap(Swap(Make(4)));
  v := Ramp(3);
  b := Evens() + Big{1} - Big{0..9};
  n := Hello();
  f := Make; r := f(21);
  i := Outer() + v[2] + INTEGER(ORD(98 IN b))
END Results.
