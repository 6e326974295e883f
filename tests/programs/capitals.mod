MODULE capitals;
(* CAP of every character of the first half of the set, in a loop: the letters' capitals,
   every other character itself, the neighbours of "a" and "z" included. *)
FROM InOut IMPORT Write, WriteString, WriteCard, WriteLn;

VAR
  i, sum, changed: CARDINAL;
  ch: CHAR;

BEGIN
  sum := 0; changed := 0;
  FOR i := 0 TO 127 DO
    ch := CAP(CHR(i));
    sum := sum + ORD(ch) * (i + 1);
    IF ORD(ch) # i THEN INC(changed) END;
    IF (i >= 32) & (i < 127) THEN Write(ch) END;
    IF i MOD 32 = 31 THEN WriteLn END
  END;
  WriteString("sum "); WriteCard(sum, 1); WriteString(", changed "); WriteCard(changed, 1);
  WriteLn
END capitals.
