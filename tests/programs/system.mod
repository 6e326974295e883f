MODULE system;
(* SYSTEM: ADDRESS and its arithmetic, ADR, TSIZE, WORD and BYTE parameters. *)
FROM SYSTEM IMPORT ADDRESS, WORD, BYTE, ADR, TSIZE;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

TYPE
  IntPtr = POINTER TO INTEGER;
  CharPtr = POINTER TO CHAR;

VAR
  a: ADDRESS;
  p: IntPtr;
  cp: CharPtr;
  numbers: ARRAY [0 .. 4] OF INTEGER;
  text: ARRAY [0 .. 5] OF CHAR;
  i: CARDINAL;
  w: WORD;

PROCEDURE Bytes(VAR b: ARRAY OF BYTE): CARDINAL;
BEGIN
  RETURN HIGH(b) + 1
END Bytes;

PROCEDURE Same(x: WORD; y: CARDINAL): BOOLEAN;
BEGIN
  RETURN CARDINAL(x) = y
END Same;

BEGIN
  FOR i := 0 TO 4 DO numbers[i] := VAL(INTEGER, i) * 11 END;
  a := ADR(numbers);
  a := a + 2 * TSIZE(INTEGER);
  p := a;
  WriteCard(VAL(CARDINAL, p^), 4);
  p^ := 99;
  WriteCard(numbers[2], 4); WriteLn;
  IF ADR(numbers[1]) - ADR(numbers[0]) = TSIZE(INTEGER) THEN WriteString("elements adjacent") END;
  WriteLn;
  text := "abcde";
  cp := ADR(text[3]);
  cp^ := "X";
  WriteString(text); WriteLn;
  WriteCard(TSIZE(CHAR), 3); WriteCard(TSIZE(INTEGER), 3); WriteCard(Bytes(text), 3); WriteCard(Bytes(numbers), 3); WriteLn;
  w := WORD(42);
  IF Same(w, 42) THEN WriteString("word ok") END;
  WriteLn;
  a := NIL;
  IF a = NIL THEN WriteString("nil address") END;
  WriteLn
END system.
