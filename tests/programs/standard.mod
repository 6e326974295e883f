MODULE standard;
(* The standard procedures and functions: ABS, CAP, CHR, FLOAT, HIGH, MAX, MIN, ODD,
   ORD, SIZE, TRUNC, VAL, DEC, INC, EXCL, INCL. *)
FROM InOut IMPORT Write, WriteString, WriteInt, WriteCard, WriteLn;

TYPE
  Colour = (Red, Green, Blue);
  Small = [1 .. 9];

VAR
  i: INTEGER;
  c: CARDINAL;
  ch: CHAR;
  s: BITSET;
  a: ARRAY [3 .. 12] OF CHAR;
  col: Colour;

PROCEDURE High(s: ARRAY OF CHAR): CARDINAL;
BEGIN
  RETURN HIGH(s)
END High;

BEGIN
  WriteInt(ABS(-17), 4); WriteInt(ABS(17), 4); WriteCard(TRUNC(ABS(-2.5) * 2.0), 4); WriteLn;
  Write(CAP("m")); Write(CHR(65)); Write(CHR(ORD("a") + 2)); WriteLn;
  WriteCard(TRUNC(FLOAT(7) * 1.5), 4); WriteCard(High(a), 4); WriteLn;
  WriteInt(MAX(Small), 3); WriteInt(MIN(Small), 3); WriteCard(ORD(MAX(Colour)), 3);
  WriteCard(ORD(MAX(CHAR)), 5); WriteCard(ORD(MIN(CHAR)), 3); WriteLn;
  IF ODD(7) & NOT ODD(-4) THEN WriteString("odd ok") END; WriteLn;
  WriteCard(ORD(Blue), 3); WriteCard(ORD("0"), 4); WriteLn;
  WriteCard(SIZE(CHAR), 3); WriteCard(SIZE(a), 3); WriteCard(SIZE(INTEGER), 3); WriteLn;
  WriteCard(TRUNC(9.99), 3); WriteLn;
  col := VAL(Colour, 1); WriteCard(ORD(col), 3);
  ch := VAL(CHAR, 66); Write(" "); Write(ch);
  i := VAL(INTEGER, 40000); c := VAL(CARDINAL, i); WriteCard(c, 7); WriteLn;
  i := 10; INC(i); INC(i, 5); DEC(i); DEC(i, 3); WriteInt(i, 4);
  ch := "a"; INC(ch, 3); Write(" "); Write(ch);
  col := Red; INC(col, 2); WriteCard(ORD(col), 3); WriteLn;
  s := {}; INCL(s, 3); INCL(s, 9); INCL(s, 3); EXCL(s, 4); EXCL(s, 9);
  FOR c := 0 TO 15 DO IF c IN s THEN WriteCard(c, 3) END END; WriteLn
END standard.
