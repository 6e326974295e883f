MODULE loopscalars;
(* CHAR, BOOLEAN, subrange, enumeration and SET variables changed in loops of many
   steps, in procedures and in the module body, and read after the loops. *)
FROM InOut IMPORT Write, WriteString, WriteInt, WriteCard, WriteLn;

TYPE
  Colour = (red, orange, yellow, green, blue, violet);
  Colours = SET OF Colour;
  Hour = [0 .. 23];

VAR
  i, n: INTEGER;
  k: CARDINAL;
  ch: CHAR;
  flag: BOOLEAN;
  colour: Colour;
  seen: BITSET;
  counts: ARRAY ["a" .. "z"] OF INTEGER;

PROCEDURE Letters(): INTEGER;
VAR i, vowels: INTEGER; c, last: CHAR;
BEGIN
  FOR c := "a" TO "z" DO counts[c] := 0 END;
  c := "a"; vowels := 0; last := 0C;
  FOR i := 1 TO 1000 DO
    INC(counts[c]);
    IF (c = "a") OR (c = "e") OR (c = "i") OR (c = "o") OR (c = "u") THEN INC(vowels) END;
    IF CAP(c) > CAP(last) THEN last := c END;
    c := CHR(ORD("a") + (ORD(c) - ORD("a") + 7) MOD 26)
  END;
  Write(last); Write(" ");
  RETURN vowels * 1000 + counts["z"] * 10 + counts["b"]
END Letters;

PROCEDURE Switches(n: INTEGER): INTEGER;
VAR i, on: INTEGER; a, b, c: BOOLEAN;
BEGIN
  a := FALSE; b := TRUE; c := FALSE; on := 0;
  FOR i := 1 TO n DO
    a := NOT a;
    b := b AND (i MOD 7 # 0) OR (i MOD 11 = 0);
    c := (a # b) OR c AND NOT a;
    IF c THEN INC(on) END
  END;
  IF a THEN INC(on, 100000) END;
  IF b THEN INC(on, 200000) END;
  RETURN on
END Switches;

PROCEDURE Clock(steps: INTEGER): INTEGER;
VAR h: Hour; days, i: INTEGER;
BEGIN
  h := 0; days := 0;
  FOR i := 1 TO steps DO
    IF h = 23 THEN h := 0; INC(days) ELSE INC(h) END
  END;
  RETURN days * 100 + h
END Clock;

PROCEDURE Palette(): INTEGER;
VAR c: Colour; s, t: Colours; i, k: INTEGER;
BEGIN
  s := Colours{}; t := Colours{red .. violet}; k := 0; c := red;
  FOR i := 1 TO 100 DO
    IF c IN s THEN EXCL(s, c) ELSE INCL(s, c) END;
    t := t - Colours{c} + s;
    IF c = MAX(Colour) THEN c := MIN(Colour) ELSE c := VAL(Colour, ORD(c) + 1) END;
    IF s <= t THEN INC(k) END
  END;
  FOR c := violet TO red BY -1 DO
    k := k * 2;
    IF c IN s THEN INC(k) END
  END;
  RETURN k
END Palette;

BEGIN
  WriteString("letters "); WriteInt(Letters(), 1); WriteLn;
  WriteString("switches"); WriteInt(Switches(1000), 8); WriteInt(Switches(77), 8); WriteLn;
  WriteString("clock"); WriteInt(Clock(1000), 6); WriteInt(Clock(23), 6); WriteLn;
  WriteString("palette"); WriteInt(Palette(), 8); WriteLn;
  seen := {}; n := 0;
  FOR k := 0 TO 999 DO
    IF (k * 7) MOD 32 IN seen THEN INC(n) END;
    INCL(seen, (k * 7) MOD 32);
    IF k MOD 5 = 0 THEN EXCL(seen, k MOD 32) END
  END;
  WriteString("bits"); WriteInt(n, 6); Write(" ");
  FOR k := 31 TO 0 BY -1 DO
    IF k IN seen THEN Write("1") ELSE Write("0") END
  END;
  WriteLn;
  ch := "A"; flag := FALSE; n := 0;
  WHILE ch < "Z" DO
    flag := NOT flag;
    IF flag THEN ch := CHR(ORD(ch) + 3) ELSE ch := CHR(ORD(ch) - 1) END;
    INC(n)
  END;
  Write(ch); WriteCard(n, 4);
  colour := red; n := 0;
  REPEAT INC(colour); INC(n, ORD(colour)) UNTIL colour = violet;
  WriteCard(n, 4); WriteLn
END loopscalars.
