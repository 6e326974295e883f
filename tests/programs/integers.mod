MODULE integers;
(* INTEGER arithmetic: the operators, DIV and MOD with negative dividends, ABS, ODD,
   the extremes of the type. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  a, b, c: INTEGER;
  i: INTEGER;

PROCEDURE Show(label: ARRAY OF CHAR; x: INTEGER);
BEGIN
  WriteString(label); WriteInt(x, 12); WriteLn
END Show;

BEGIN
  a := 17; b := 5;
  Show("a + b", a + b);
  Show("a - b", a - b);
  Show("b - a", b - a);
  Show("a * b", a * b);
  Show("a DIV b", a DIV b);
  Show("a MOD b", a MOD b);
  Show("-a DIV b", -a DIV b);
  Show("-a MOD b", -a MOD b);
  Show("-17 DIV 5", (-17) DIV 5);
  Show("-20 MOD 5", (-20) MOD 5);
  Show("ABS(-a)", ABS(-a));
  Show("MAX", MAX(INTEGER));
  Show("MIN", MIN(INTEGER));
  c := MAX(INTEGER) DIV 2 * 2 + 1;
  Show("c", c);
  c := 1;
  FOR i := 1 TO 10 DO c := c * 3 END;
  Show("3^10", c);
  c := 0;
  FOR i := -10 TO 10 DO IF ODD(i) THEN INC(c) END END;
  Show("odd count", c);
  c := 1000;
  DEC(c, 1001); DEC(c, 5);
  Show("c", c);
  Show("precedence", 2 + 3 * 4 - 10 DIV 3 MOD 2);
  Show("unary", -(-a) - (-b))
END integers.
