MODULE sets;
(* BITSET and SET OF an enumeration: constructors with ranges, INCL, EXCL, IN, union,
   difference, intersection, symmetric difference and the set relations. *)
FROM InOut IMPORT Write, WriteString, WriteCard, WriteLn;

TYPE
  Fruit = (Apple, Banana, Cherry, Date, Elder, Fig);
  Basket = SET OF Fruit;

VAR
  s, t: BITSET;
  b, c: Basket;
  f: Fruit;
  i: CARDINAL;

PROCEDURE ShowBits(s: BITSET);
VAR i: CARDINAL;
BEGIN
  Write("{");
  FOR i := 0 TO 31 DO
    IF i IN s THEN WriteCard(i, 3) END
  END;
  WriteString(" }"); WriteLn
END ShowBits;

PROCEDURE ShowBasket(b: Basket);
VAR f: Fruit;
BEGIN
  FOR f := MIN(Fruit) TO MAX(Fruit) DO
    IF f IN b THEN Write(CHR(ORD("A") + ORD(f))) ELSE Write(".") END
  END;
  WriteLn
END ShowBasket;

BEGIN
  s := {1, 3, 5 .. 8};
  t := {0 .. 4, 31};
  ShowBits(s);
  ShowBits(s + t);
  ShowBits(s - t);
  ShowBits(s * t);
  ShowBits(s / t);
  INCL(s, 20); EXCL(s, 3); EXCL(s, 4);
  ShowBits(s);
  i := 6;
  IF i IN s THEN WriteString("6 in s") END;
  IF {1, 5} <= s THEN WriteString(", {1,5} <= s") END;
  IF s >= {} THEN WriteString(", s >= {}") END;
  IF s # t THEN WriteString(", s # t") END;
  WriteLn;
  b := Basket{Apple, Cherry .. Elder};
  c := Basket{Banana, Date};
  ShowBasket(b);
  ShowBasket(b + c);
  ShowBasket(b - c);
  ShowBasket(b * c);
  ShowBasket(b / c);
  INCL(c, Fig); EXCL(b, Apple);
  ShowBasket(c);
  ShowBasket(b);
  i := 0;
  FOR f := Apple TO Fig DO IF f IN b + c THEN INC(i) END END;
  WriteCard(i, 2); WriteLn;
  IF Basket{} = b * Basket{Apple} THEN WriteString("no apple") END;
  WriteLn
END sets.
