MODULE chars;
(* CHAR: ORD, CHR, CAP, comparisons, character arithmetic and strings in arrays. *)
FROM InOut IMPORT Write, WriteString, WriteCard, WriteLn;

VAR
  ch: CHAR;
  word: ARRAY [0 .. 15] OF CHAR;
  i, vowels: CARDINAL;

BEGIN
  FOR ch := "a" TO "j" DO Write(CAP(ch)) END;
  WriteLn;
  WriteCard(ORD("A"), 4); WriteCard(ORD("z"), 4); WriteCard(ORD(" "), 4); WriteCard(ORD(0C), 4); WriteLn;
  Write(CHR(72)); Write(CHR(105)); Write(41C); WriteLn;
  word := "Modula-Two";
  vowels := 0; i := 0;
  WHILE (i <= HIGH(word)) & (word[i] # 0C) DO
    CASE CAP(word[i]) OF
      "A", "E", "I", "O", "U": INC(vowels)
    ELSE
    END;
    INC(i)
  END;
  WriteCard(i, 3); WriteCard(vowels, 3); WriteLn;
  FOR i := 0 TO 9 DO
    IF (word[i] >= "a") & (word[i] <= "z") THEN word[i] := CHR(ORD(word[i]) - ORD("a") + ORD("A")) END
  END;
  WriteString(word); WriteLn;
  IF "a" > "A" THEN WriteString("lower after upper") END;
  WriteLn;
  ch := "0"; INC(ch, 7); Write(ch); DEC(ch); Write(ch); WriteLn;
  Write(CAP("z")); Write(CAP("5")); WriteLn
END chars.
