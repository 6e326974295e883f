MODULE readnumbers;
(* InOut reading: integers until Done is FALSE, words with termCH, single characters up
   to the end of the input. *)
FROM InOut IMPORT Read, ReadInt, ReadCard, ReadString, Done, termCH, EOL,
  WriteString, WriteInt, WriteCard, Write, WriteLn;

VAR
  i, sum, count: INTEGER;
  c: CARDINAL;
  word: ARRAY [0 .. 15] OF CHAR;
  ch: CHAR;
  lines, letters: CARDINAL;

BEGIN
  sum := 0; count := 0;
  LOOP
    ReadInt(i);
    IF NOT Done THEN EXIT END;
    sum := sum + i; INC(count)
  END;
  WriteString("read"); WriteInt(count, 3); WriteString(" numbers, sum"); WriteInt(sum, 6); WriteLn;
  WriteString("stopped at: "); WriteString("end"); WriteLn;
  ReadCard(c);
  IF Done THEN WriteCard(c, 6) END;
  ReadString(word);
  WriteString(word);
  IF termCH = " " THEN WriteString(" (blank)") ELSIF termCH = EOL THEN WriteString(" (line end)") END;
  WriteLn;
  lines := 0; letters := 0;
  LOOP
    Read(ch);
    IF NOT Done THEN EXIT END;
    IF ch = EOL THEN INC(lines)
    ELSIF (CAP(ch) >= "A") & (CAP(ch) <= "Z") THEN INC(letters)
    END
  END;
  WriteCard(lines, 3); WriteCard(letters, 4); WriteLn
END readnumbers.
