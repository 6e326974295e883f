MODULE constants;
(* Constant declarations and constant expressions of every basic type. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, Write, WriteLn;

CONST
  Ten = 10;
  Hundred = Ten * Ten;
  Neg = -Hundred DIV 3;
  Rest = Hundred MOD 7;
  Mixed = (Ten + 2) * 3 - 4 DIV 2;
  Big = MAX(INTEGER) - 1;
  Small = MIN(INTEGER) + 1;
  Letter = "Q";
  Next = CHR(ORD(Letter) + 1);
  Octal = 17B;
  Hex = 0FFH;
  CharCode = 101C;
  Greeting = "Hello, constants";
  Pi = 3.14159;
  Scaled = TRUNC(Pi * 1000.0);
  Digits = {0, 2, 4 .. 6};
  Order = ORD(Next) - ORD("A");

BEGIN
  WriteString(Greeting); WriteLn;
  WriteInt(Hundred, 6); WriteInt(Neg, 6); WriteInt(Rest, 6); WriteInt(Mixed, 6); WriteLn;
  WriteInt(Big, 12); WriteInt(Small, 13); WriteLn;
  Write(Letter); Write(Next); Write(CharCode); WriteLn;
  WriteCard(Octal, 4); WriteCard(Hex, 4); WriteCard(Order, 4); WriteLn;
  WriteCard(Scaled, 6); WriteLn;
  IF 5 IN Digits THEN WriteString("5 in Digits") END;
  IF NOT (3 IN Digits) THEN WriteString(", 3 not") END;
  WriteLn
END constants.
