MODULE transfers;
(* gm2-skip: gm2 refuses type transfers to and from records and arrays *)
(* Type transfers to and from records, arrays and sets of equal size: the bits of the
   operand, never its address (the machine is little-endian). *)
FROM InOut IMPORT WriteInt, WriteCard, WriteLn;

TYPE
  R = RECORD a: INTEGER END;
  Pair = RECORD lo, hi: INTEGER END;
  Chars = ARRAY [0..3] OF CHAR;
  Big = SET OF [0..127];
  Wide = RECORD lo, hi: LONGCARD END;

VAR
  r: R;
  p: Pair;
  c: Chars;
  l: LONGINT;
  x: REAL;
  b: Big;
  w: Wide;

PROCEDURE Half(v: Pair): INTEGER;
BEGIN
  RETURN v.hi
END Half;

BEGIN
  r.a := 7;
  WriteInt(INTEGER(r), 3); WriteLn;
  r := R(42);
  WriteInt(r.a, 3); WriteLn;
  l := 0100000005H;
  p := Pair(l);
  WriteInt(p.lo, 3); WriteInt(p.hi, 3); WriteLn;
  WriteInt(Half(Pair(l)), 3); WriteLn;
  p.lo := 3; p.hi := 0;
  WriteInt(INTEGER(LONGINT(p)), 3); WriteLn;
  c := Chars(41424344H);
  WriteCard(ORD(c[0]), 4); WriteCard(ORD(c[3]), 4); WriteLn;
  c := "WXYZ";
  WriteCard(CARDINAL(c) MOD 256, 4); WriteLn;
  x := 1.0;
  p := Pair(x);
  WriteInt(p.hi, 12); WriteLn;
  w.lo := 5; w.hi := 1;
  b := Big(w);
  WriteInt(ORD(0 IN b), 2); WriteInt(ORD(2 IN b), 2); WriteInt(ORD(64 IN b), 2); WriteLn;
  w := Wide(b - Big{0});
  WriteCard(CARDINAL(w.lo), 2); WriteLn
END transfers.
