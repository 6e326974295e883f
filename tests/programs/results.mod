MODULE results;
(* Function procedures whose results are records, arrays and sets of more than 64
   elements (as ISO Modula-2 and gm2 allow): the caller gets a copy. *)
FROM InOut IMPORT WriteInt, WriteString, WriteLn;

TYPE
  R = RECORD a, b: INTEGER END;
  Vec = ARRAY [1..4] OF INTEGER;
  Big = SET OF [0..99];
  Name = ARRAY [0..7] OF CHAR;
  Maker = PROCEDURE (INTEGER): R;

VAR
  r, s: R;
  v: Vec;
  b: Big;
  i: INTEGER;
  n: Name;
  f: Maker;

PROCEDURE Get(): R;
BEGIN
  RETURN r
END Get;

PROCEDURE Make(x: INTEGER): R;
VAR t: R;
BEGIN
  t.a := x; t.b := x * 2;
  RETURN t
END Make;

PROCEDURE Swap(x: R): R;
VAR t: R;
BEGIN
  t.a := x.b; t.b := x.a;
  RETURN t
END Swap;

PROCEDURE Ramp(k: INTEGER): Vec;
VAR w: Vec; j: INTEGER;
BEGIN
  FOR j := 1 TO 4 DO w[j] := j * k END;
  RETURN w
END Ramp;

PROCEDURE Evens(): Big;
VAR x: Big; j: INTEGER;
BEGIN
  x := Big{};
  FOR j := 0 TO 99 BY 2 DO INCL(x, j) END;
  RETURN x
END Evens;

PROCEDURE Hello(): Name;
BEGIN
  RETURN "hello"
END Hello;

PROCEDURE Outer(): INTEGER;
VAR t: R;
  PROCEDURE Inner(): R;
  BEGIN
    RETURN Make(7)
  END Inner;
BEGIN
  t := Inner();
  RETURN t.a + t.b
END Outer;

PROCEDURE Fib(k: INTEGER): R;
VAR t: R;
BEGIN
  IF k = 0 THEN t.a := 0; t.b := 1; RETURN t END;
  t := Fib(k - 1);
  RETURN Make2(t.b, t.a + t.b)
END Fib;

PROCEDURE Make2(x, y: INTEGER): R;
VAR t: R;
BEGIN
  t.a := x; t.b := y;
  RETURN t
END Make2;

BEGIN
  r.a := 1; r.b := 2;
  s := Get(); r.a := 5;
  WriteInt(s.a, 3); WriteInt(s.b, 3); WriteLn;
  r := Swap(r);
  WriteInt(r.a, 3); WriteInt(r.b, 3); WriteLn;
  v := Ramp(3);
  FOR i := 1 TO 4 DO WriteInt(v[i], 3) END; WriteLn;
  b := Evens() - Big{0..9};
  WriteInt(ORD(98 IN b), 2); WriteInt(ORD(97 IN b), 2); WriteInt(ORD(4 IN b), 2); WriteLn;
  n := Hello();
  WriteString(n); WriteLn;
  f := Make; s := f(21);
  WriteInt(s.b, 3); WriteLn;
  s := Swap(Swap(Make(4)));
  WriteInt(s.a, 3); WriteInt(s.b, 3); WriteLn;
  WriteInt(Outer(), 3); WriteLn;
  s := Fib(20);
  WriteInt(s.a, 6); WriteLn
END results.
