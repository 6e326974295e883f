MODULE valueparams;
(* A value parameter is a variable of its own: whatever changes the actual while the
   procedure runs (a VAR parameter, a global, a pointer, a procedure it calls) leaves
   the parameter as it was at the call. *)
FROM InOut IMPORT WriteInt, WriteString, WriteLn;
FROM Storage IMPORT ALLOCATE;

TYPE
  Vec = ARRAY [1..4] OF INTEGER;
  Rec = RECORD x, y: INTEGER END;
  Big = SET OF [0..99];
  Name = ARRAY [0..9] OF CHAR;

VAR
  v, g: Vec;
  r: Rec;
  p: POINTER TO Rec;
  b: Big;
  n: Name;
  i: INTEGER;

PROCEDURE Show(a: ARRAY OF INTEGER);
VAR k: CARDINAL;
BEGIN
  FOR k := 0 TO HIGH(a) DO WriteInt(a[k], 3) END;
  WriteLn
END Show;

PROCEDURE Rotate(VAR dst: Vec; src: Vec);
VAR k: INTEGER;
BEGIN
  FOR k := 1 TO 4 DO dst[k] := src[k MOD 4 + 1] END
END Rotate;

PROCEDURE Shift(VAR dst: ARRAY OF INTEGER; src: ARRAY OF INTEGER);
VAR k: CARDINAL;
BEGIN
  FOR k := 0 TO HIGH(dst) DO dst[k] := src[(k + 1) MOD (HIGH(src) + 1)] END
END Shift;

PROCEDURE ThroughGlobal(a: Vec);
BEGIN
  g[1] := 99;
  WriteInt(a[1], 3); WriteInt(g[1], 3); WriteLn
END ThroughGlobal;

PROCEDURE ThroughPointer(a: Rec);
BEGIN
  p^.x := 77;
  WriteInt(a.x, 3); WriteInt(p^.x, 3); WriteLn
END ThroughPointer;

PROCEDURE Clear;
VAR k: INTEGER;
BEGIN
  FOR k := 1 TO 4 DO g[k] := 0 END
END Clear;

PROCEDURE ThroughCallee(a: Vec): INTEGER;
BEGIN
  Clear;
  RETURN a[1] + a[2] + a[3] + a[4]
END ThroughCallee;

PROCEDURE Empty(VAR t: Big; s: Big);
BEGIN
  t := Big{};
  IF 50 IN s THEN WriteString("50 still in s") ELSE WriteString("50 gone") END;
  WriteLn
END Empty;

PROCEDURE Rename(VAR t: Name; s: ARRAY OF CHAR);
BEGIN
  t := "xxxxxxxxx";
  WriteString(s); WriteLn
END Rename;

(* Changes nothing outside its frame: the parameter need not be copied. *)
PROCEDURE Sum(a: Vec): INTEGER;
VAR k, s: INTEGER;
BEGIN
  s := 0;
  FOR k := 1 TO 4 DO s := s + a[k] END;
  RETURN s
END Sum;

BEGIN
  FOR i := 1 TO 4 DO v[i] := i; g[i] := 10 * i END;
  Rotate(v, v); Show(v);
  Shift(v, v); Show(v);
  ThroughGlobal(g);
  NEW(p); p^.x := 5; p^.y := 6;
  ThroughPointer(p^);
  FOR i := 1 TO 4 DO g[i] := i END;
  WriteInt(ThroughCallee(g), 3); WriteLn;
  b := Big{10, 50, 90};
  Empty(b, b);
  n := "original";
  Rename(n, n);
  WriteInt(Sum(v), 3); WriteLn
END valueparams.
