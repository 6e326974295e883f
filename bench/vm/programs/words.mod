MODULE words;
(* Character processing: a text of 4000000 characters generated from a fixed seed,
   then its words, letters, digits, capitals and lines counted and a hash of every word
   taken; the checksum combines the counts. *)
FROM InOut IMPORT Write, WriteString, WriteLn;

CONST Size = 4000000;

VAR
  text: ARRAY [0 .. Size - 1] OF CHAR;
  seed: LONGINT;
  i, r: CARDINAL;
  words, letters, digits, capitals, lines, hash: CARDINAL;
  inWord: BOOLEAN;
  ch: CHAR;
  sum: LONGINT;
  out: ARRAY [0 .. 20] OF CHAR;
  n: CARDINAL;

BEGIN
  seed := 7;
  FOR i := 0 TO Size - 1 DO
    seed := seed * 16807 MOD 2147483647;
    r := VAL(CARDINAL, seed MOD 64);
    IF r < 26 THEN text[i] := CHR(ORD("a") + r)
    ELSIF r < 36 THEN text[i] := CHR(ORD("A") + r - 26)
    ELSIF r < 46 THEN text[i] := CHR(ORD("0") + r - 36)
    ELSIF r < 62 THEN text[i] := " "
    ELSE text[i] := 12C
    END
  END;
  words := 0; letters := 0; digits := 0; capitals := 0; lines := 0; hash := 0;
  inWord := FALSE;
  FOR i := 0 TO Size - 1 DO
    ch := text[i];
    IF (ch = " ") OR (ch = 12C) THEN
      inWord := FALSE;
      IF ch = 12C THEN INC(lines) END
    ELSE
      IF NOT inWord THEN INC(words); inWord := TRUE END;
      IF (ch >= "a") & (ch <= "z") THEN INC(letters)
      ELSIF (ch >= "A") & (ch <= "Z") THEN INC(letters); INC(capitals)
      ELSE INC(digits)
      END;
      hash := (hash * 31 + ORD(CAP(ch))) MOD 1000003
    END
  END;
  sum := VAL(LONGINT, words) * 1000000000 + VAL(LONGINT, letters) * 100 + VAL(LONGINT, digits)
         + VAL(LONGINT, capitals) * 7 + VAL(LONGINT, lines) * 13 + VAL(LONGINT, hash);
  n := 0;
  REPEAT out[n] := CHR(ORD("0") + VAL(CARDINAL, sum MOD 10)); sum := sum DIV 10; INC(n) UNTIL sum = 0;
  WriteString("checksum ");
  WHILE n > 0 DO DEC(n); Write(out[n]) END;
  WriteLn
END words.
