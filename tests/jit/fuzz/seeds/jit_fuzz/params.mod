MODULE Params;
(* Value parameters of arrays, records and sets whose actuals change while the call
   runs: through a VAR parameter, a global, a pointer or a procedure it calls. *)
TYPE
  Vec = ARRAY [1..4] OF INTEGER;
  Rec = RECORD x, y: INTEGER END;
  Big = SET OF [0..99];
VAR v, g: Vec; p: POINTER TO Rec; b: Big; s: ARRAY [0..9] OF CHAR; i: INTEGER;

PROCEDURE Rotate(VAR dst: Vec; src: Vec);
VAR k: INTEGER;
BEGIN FOR k := 1 TO 4 DO dst[k] := src[k MOD 4 + 1] END END Rotate;

PROCEDURE Shift(VAR dst: ARRAY OF INTEGER; src: ARRAY OF INTEGER);
VAR k: CARDINAL;
BEGIN FOR k := 0 TO HIGH(dst) DO dst[k] := src[(k + 1) MOD (HIGH(src) + 1)] END END Shift;

PROCEDURE Clear;
VAR k: INTEGER;
BEGIN FOR k := 1 TO 4 DO g[k] := 0 END END Clear;

PROCEDURE Sum(a: Vec): INTEGER;
BEGIN Clear; RETURN a[1] + a[2] + a[3] + a[4] END Sum;

PROCEDURE Through(a: Rec): INTEGER;
BEGIN p^.x := 77; RETURN a.x END Through;

PROCEDURE Empty(VAR t: Big; u: Big): BOOLEAN;
BEGIN t := Big{}; RETURN 50 IN u END Empty;

PROCEDURE Length(t: ARRAY OF CHAR): CARDINAL;
VAR n: CARDINAL;
BEGIN n := 0; WHILE (n <= HIGH(t)) & (t[n] # 0C) DO INC(n) END; RETURN n END Length;

BEGIN
  FOR i := 1 TO 4 DO v[i] := i; g[i] := i END;
  Rotate(v, v); Shift(v, v); i := Sum(g);
  p := NIL;
  b := Big{10, 50}; IF Empty(b, b) THEN i := 1 END;
  s := "abc"; i := Length(s)
END Params.
