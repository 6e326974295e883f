MODULE subranges;
(* Subrange types of integers, characters and enumerations; arrays indexed by them. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, Write, WriteLn;

TYPE
  Digit = [0 .. 9];
  Small = [-5 .. 5];
  Upper = ["A" .. "Z"];
  Colour = (Red, Orange, Yellow, Green, Blue);
  Warm = [Red .. Yellow];

VAR
  d: Digit;
  s: Small;
  u: Upper;
  w: Warm;
  counts: ARRAY Digit OF CARDINAL;
  shifted: ARRAY Small OF INTEGER;
  letters: ARRAY Upper OF BOOLEAN;
  n: CARDINAL;

BEGIN
  FOR d := 0 TO 9 DO counts[d] := d; counts[d] := counts[d] * d END;
  n := 0;
  FOR d := MIN(Digit) TO MAX(Digit) DO n := n + counts[d] END;
  WriteCard(n, 5); WriteLn;
  FOR s := -5 TO 5 DO shifted[s] := s * 10 END;
  WriteInt(shifted[-5], 5); WriteInt(shifted[0], 5); WriteInt(shifted[5], 5); WriteLn;
  FOR u := "A" TO "Z" DO letters[u] := (ORD(u) - ORD("A")) MOD 5 = 0 END;
  FOR u := "A" TO "Z" DO IF letters[u] THEN Write(u) END END;
  WriteLn;
  w := Orange; INC(w);
  WriteCard(ORD(w), 2); WriteCard(ORD(MAX(Warm)), 2); WriteLn;
  s := -5; d := 9;
  WriteInt(s + VAL(INTEGER, d), 4); WriteLn
END subranges.
