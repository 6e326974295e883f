MODULE Chains;
(* Chains of operators of every kind, flat and long; a function without RETURN is an
   error, not this. *)
TYPE Big = SET OF [0..199];
VAR i, s: INTEGER; x: REAL; b: Big; ok: BOOLEAN; l: LONGINT;
BEGIN
  i := 3;
  s := i * 1 - 1 + i * 2 - 2 + i * 3 - 3 + i * 4 - 4 + i * 5 - 5 + i * 6 - 6 + i * 7 - 7
       + i * 8 - 8 + i * 9 - 9 + i DIV 2 - i MOD 2 + i * i - i + i * 1 - 1 + i * 2 - 2;
  l := VAL(LONGINT, i) * 3 + 4 - 5 * 6 DIV 7 + 8 MOD 9 - 10 + 11 * 12 - 13 + 14 - 15;
  x := FLOAT(i) / 1.0 + FLOAT(i) / 2.0 + FLOAT(i) / 3.0 - FLOAT(i) * 4.0 + FLOAT(i) / 5.0;
  ok := (i = 1) OR (i = 2) OR (i = 3) OR (i = 4) OR (i = 5) OR (i = 6) OR (i = 7);
  ok := ok AND (i < 4) AND (i < 5) AND (i < 6) AND (i < 7) AND (i < 8) AND (i < 9);
  b := Big{i} + Big{i + 3} + Big{i + 6} - Big{i + 3} * Big{i + 9} / Big{i + 12} + Big{150};
  IF (s > 0) & ok & (i IN b) THEN s := 0 END
END Chains.
