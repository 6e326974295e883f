MODULE inoutfiles;
(* gm2-skip: gm2's OpenInput writes a prompt of its own *)
(* OpenInput reads a file name from the terminal ("readnumbers." gets the extension
   "in"); InOut then reads the file until CloseInput, and the terminal again. *)
FROM InOut IMPORT OpenInput, CloseInput, ReadInt, ReadString, Done, WriteString, WriteInt,
  WriteLn;
VAR i, sum: INTEGER; word: ARRAY [0..31] OF CHAR;
BEGIN
  OpenInput("in");
  IF NOT Done THEN WriteString("not opened"); WriteLn; HALT END;
  sum := 0;
  LOOP ReadInt(i); IF NOT Done THEN EXIT END; sum := sum + i END;
  WriteString("sum of the file's numbers: "); WriteInt(sum, 1); WriteLn;
  ReadString(word);
  WriteString("then the word "); WriteString(word); WriteLn;
  CloseInput;
  ReadString(word);
  WriteString("from the terminal again: "); WriteString(word); WriteLn
END inoutfiles.
