MODULE loopcount;
(* gm2-skip: gm2 -fsoft-check-all stops at DIV of a negative dividend *)
(* Loops that end normally: a few million cheap steps, FOR loops whose last value lies at
   the end of the control variable's type (the step after it would overflow), loops of one
   and of no step, a limit changed inside the loop, DIV and MOD of negative dividends,
   and WHILE, REPEAT and LOOP loops left by their conditions, by EXIT from inner loops
   and by RETURN. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;

VAR
  i, j, n, s: INTEGER;
  c: CARDINAL;
  l: LONGINT;

PROCEDURE Show(label: ARRAY OF CHAR; value: INTEGER);
BEGIN
  WriteString(label); WriteInt(value, 12); WriteLn
END Show;

PROCEDURE Collatz(limit: INTEGER): INTEGER;
(* the steps of all starts below limit *)
VAR k, x, steps: INTEGER;
BEGIN
  steps := 0;
  FOR k := 1 TO limit - 1 DO
    x := k;
    WHILE x # 1 DO
      IF ODD(x) THEN x := 3 * x + 1 ELSE x := x DIV 2 END;
      INC(steps)
    END
  END;
  RETURN steps
END Collatz;

PROCEDURE Edges(): INTEGER;
VAR i, n: INTEGER; c: CARDINAL; l: LONGINT;
BEGIN
  n := 0;
  FOR i := MAX(INTEGER) - 2 TO MAX(INTEGER) DO INC(n) END;
  FOR i := MIN(INTEGER) + 2 TO MIN(INTEGER) BY -1 DO INC(n, 10) END;
  FOR i := 1 TO MAX(INTEGER) BY 1000000000 DO INC(n, 100) END;
  FOR i := -1 TO MIN(INTEGER) BY -1000000000 DO INC(n, 1000) END;
  FOR c := 2 TO 0 BY -1 DO INC(n, 10000) END;
  FOR c := MAX(CARDINAL) - 1 TO MAX(CARDINAL) DO INC(n, 100000) END;
  FOR c := 0 TO MAX(CARDINAL) BY 2000000000 DO INC(n, 1000000) END;
  FOR l := MAX(LONGINT) - 1 TO MAX(LONGINT) DO INC(n, 10000000) END;
  FOR l := MIN(LONGINT) TO MIN(LONGINT) BY -7 DO INC(n, 100000000) END;
  RETURN n
END Edges;

PROCEDURE Limits(): INTEGER;
VAR i, n, top: INTEGER;
BEGIN
  n := 0;
  FOR i := 5 TO 5 DO INC(n) END;
  FOR i := 5 TO 4 DO INC(n, 100) END;
  FOR i := 4 TO 5 BY -1 DO INC(n, 100) END;
  FOR i := 0 TO 10 BY 3 DO INC(n, 10 * i) END;
  top := 10;
  FOR i := 1 TO top DO DEC(top); INC(n, 1000) END;
  RETURN n + top * 100000
END Limits;

PROCEDURE First(x: INTEGER): INTEGER;
(* the first k of 1 .. 99 whose square ends in the digits of x, or -1 *)
VAR k: INTEGER;
BEGIN
  FOR k := 1 TO 99 DO
    IF k * k MOD 100 = x THEN RETURN k END
  END;
  RETURN -1
END First;

BEGIN
  Show("collatz", Collatz(20000));
  s := 0;
  FOR i := 1 TO 2000000 DO s := s + i MOD 7 - 3 END;
  Show("steps", s);
  Show("edges", Edges());
  Show("limits", Limits());
  WriteInt(First(69), 4); WriteInt(First(44), 4); WriteInt(First(2), 4); WriteLn;
  s := 0;
  FOR i := -30 TO 30 DO
    FOR j := 1 TO 9 BY 4 DO s := s * 7 + i DIV j * 3 + i MOD j; s := s MOD 1000003 END
  END;
  Show("divisions", s);
  n := 0; i := 0;
  LOOP
    INC(i);
    j := 0;
    LOOP
      INC(j);
      IF j * j > i THEN EXIT END;
      INC(n)
    END;
    FOR s := 1 TO 10 DO
      IF (s = 11 - i MOD 11) AND (i > 20) THEN EXIT END
    END;
    INC(n, 1000)
  END;
  Show("exits", n * 100 + i);
  n := 0; c := 1;
  REPEAT c := c * 3; INC(n) UNTIL c > MAX(CARDINAL) DIV 3;
  WHILE (c > 1) AND ODD(c) DO c := c DIV 3; INC(n) END;
  Show("powers", n);
  l := 1; n := 0;
  WHILE l < MAX(LONGINT) DIV 2 DO l := l * 2 + 1; INC(n) END;
  Show("long", n)
END loopcount.
