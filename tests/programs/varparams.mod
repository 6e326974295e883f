MODULE varparams;
(* VAR parameters: swapping, results through several parameters, records and array
   elements passed by reference, the same variable passed twice. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE Pair = RECORD a, b: INTEGER END;

VAR
  x, y: INTEGER;
  q, r: INTEGER;
  p: Pair;
  v: ARRAY [0 .. 3] OF INTEGER;

PROCEDURE Swap(VAR a, b: INTEGER);
VAR t: INTEGER;
BEGIN
  t := a; a := b; b := t
END Swap;

PROCEDURE DivMod(n, d: INTEGER; VAR quot, rem: INTEGER);
BEGIN
  quot := n DIV d; rem := n MOD d
END DivMod;

PROCEDURE Grow(VAR p: Pair);
BEGIN
  INC(p.a, 10); p.b := p.a * 2
END Grow;

PROCEDURE AddTo(VAR target: INTEGER; VAR source: INTEGER);
BEGIN
  target := target + source; source := source + 1
END AddTo;

PROCEDURE Unchanged(a: INTEGER);
BEGIN
  a := 0
END Unchanged;

BEGIN
  x := 1; y := 2;
  Swap(x, y);
  WriteInt(x, 3); WriteInt(y, 3); WriteLn;
  DivMod(47, 5, q, r);
  WriteInt(q, 3); WriteInt(r, 3); WriteLn;
  p.a := 1; p.b := 0;
  Grow(p); Grow(p);
  WriteInt(p.a, 4); WriteInt(p.b, 4); WriteLn;
  v[0] := 5; v[1] := 6; v[2] := 7; v[3] := 8;
  Swap(v[0], v[3]);
  AddTo(v[1], v[2]);
  WriteInt(v[0], 3); WriteInt(v[1], 3); WriteInt(v[2], 3); WriteInt(v[3], 3); WriteLn;
  x := 4;
  AddTo(x, x);
  WriteInt(x, 3); WriteLn;
  Unchanged(x);
  WriteInt(x, 3); WriteLn
END varparams.
