MODULE WordCount;
(* Text input and output: reads lines until the input ends and counts them, their words
   and letters; then writes a small table and the longest word.
   Run it from a shell with a text on its standard input:
     velmarin --run examples/WordCount.mod < examples/WordCount.mod *)

FROM TextIO IMPORT ReadLine, Done, WriteString, WriteInt, WriteLn;

CONST MaxWord = 31;

VAR
  line: ARRAY [0 .. 255] OF CHAR;
  word, longest: ARRAY [0 .. MaxWord] OF CHAR;
  lines, words, letters, i, w, wl: INTEGER;

PROCEDURE IsLetter(ch: CHAR): BOOLEAN;
BEGIN
  RETURN (CAP(ch) >= "A") AND (CAP(ch) <= "Z")
END IsLetter;

(* Ends the word collected so far: counts it and keeps it when it is the longest. *)
PROCEDURE EndWord;
BEGIN
  IF w > 0 THEN
    INC(words);
    IF w <= MaxWord THEN word[w] := 0C END;
    IF w > wl THEN longest := word; wl := w END;
    w := 0
  END
END EndWord;

PROCEDURE Row(label: ARRAY OF CHAR; n: INTEGER);
BEGIN
  WriteString(label); WriteInt(n, 8); WriteLn
END Row;

BEGIN
  lines := 0; words := 0; letters := 0; w := 0; wl := 0; longest := "";
  LOOP
    ReadLine(line);
    IF NOT Done THEN EXIT END;
    INC(lines);
    i := 0;
    WHILE (i <= HIGH(line)) AND (line[i] # 0C) DO
      IF IsLetter(line[i]) THEN
        INC(letters);
        IF w <= MaxWord THEN word[w] := line[i] END;
        INC(w)
      ELSE
        EndWord
      END;
      INC(i)
    END;
    EndWord
  END;
  Row("lines  ", lines);
  Row("words  ", words);
  Row("letters", letters);
  WriteString("longest word: "); WriteString(longest); WriteLn
END WordCount.
