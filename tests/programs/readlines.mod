MODULE readlines;
(* Characters read up to the end of input: a last line without a line end is a line,
   and no line end is made up after it; a long line arrives whole. *)
FROM InOut IMPORT Read, Done, EOL, WriteString, WriteCard, WriteLn;

VAR
  ch, last: CHAR;
  lineEnds, chars, longest, length: CARDINAL;

BEGIN
  lineEnds := 0; chars := 0; longest := 0; length := 0; last := EOL;
  LOOP
    Read(ch);
    IF NOT Done THEN EXIT END;
    IF ch = EOL THEN
      INC(lineEnds); length := 0
    ELSE
      INC(chars); INC(length);
      IF length > longest THEN longest := length END
    END;
    last := ch
  END;
  WriteCard(lineEnds, 0); WriteString(" line ends, "); WriteCard(chars, 0);
  WriteString(" characters, the longest line "); WriteCard(longest, 0); WriteLn;
  IF last # EOL THEN WriteString("the last line has no line end") END;
  WriteLn
END readlines.
