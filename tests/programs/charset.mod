MODULE charset;
(* A source in UTF-8 of the workstation's character set: each character of a string is
   one CHAR, the euro sign 200C; CAP knows the set's letters; the console is UTF-8 both
   ways, and a character the set does not have reads as "?". *)
FROM InOut IMPORT Read, Write, WriteString, WriteCard, WriteLn, Done, EOL;

VAR
  s: ARRAY [0 .. 15] OF CHAR;
  ch: CHAR;
  n: CARDINAL;

BEGIN
  s := "Grüße, 5 €";
  n := 0;
  WHILE (n <= HIGH(s)) & (s[n] # 0C) DO INC(n) END;
  WriteString(s); WriteString(": "); WriteCard(n, 1);
  WriteString(" characters, the last "); WriteCard(ORD(s[n - 1]), 1);
  WriteString(", "); Write(CAP(234C)); (* œ *) WriteLn;
  LOOP
    Read(ch);
    IF NOT Done THEN EXIT END;
    IF ch = EOL THEN WriteLn ELSE Write(CAP(ch)) END
  END
END charset.
