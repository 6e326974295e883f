MODULE Transfers;
(* Type transfers to and from records, arrays and sets of equal size. *)
TYPE
  R = RECORD a: INTEGER END;
  Pair = RECORD lo, hi: INTEGER END;
  Chars = ARRAY [0..3] OF CHAR;
  Big = SET OF [0..127];
  Wide = RECORD lo, hi: LONGCARD END;
VAR r: R; p: Pair; c: Chars; l: LONGINT; x: REAL; b: Big; w: Wide; i: INTEGER;

PROCEDURE Half(v: Pair): INTEGER;
BEGIN RETURN v.hi END Half;

BEGIN
  r.a := 7; i := INTEGER(r); r := R(42);
  l := 0100000005H; p := Pair(l); i := Half(Pair(l));
  l := LONGINT(p); c := Chars(41424344H); i := INTEGER(c);
  x := 1.0; p := Pair(x); x := REAL(p);
  w.lo := 5; w.hi := 1; b := Big(w); w := Wide(b - Big{0})
END Transfers.
