MODULE statements;
(* Every statement: IF with ELSIF and ELSE, CASE with ranges, lists and ELSE, WHILE,
   REPEAT, FOR with positive and negative steps, LOOP with EXIT, RETURN from inside
   loops, WITH, and the empty statement. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, Write, WriteLn;

TYPE R = RECORD a, b: INTEGER END;

VAR
  i, j, n: INTEGER;
  c: CARDINAL;
  r: R;

PROCEDURE Classify(x: INTEGER);
BEGIN
  IF x < 0 THEN WriteString("neg ")
  ELSIF x = 0 THEN WriteString("zero ")
  ELSIF x < 10 THEN WriteString("small ")
  ELSE WriteString("big ")
  END
END Classify;

PROCEDURE Kind(c: CHAR);
BEGIN
  CASE c OF
    "0" .. "9": Write("d")
  | "a" .. "z", "A" .. "Z": Write("l")
  | " ": Write("_")
  | "+", "-", "*", "/": Write("o")
  ELSE Write("?")
  END
END Kind;

PROCEDURE FirstSquareAbove(limit: INTEGER): INTEGER;
VAR k: INTEGER;
BEGIN
  k := 0;
  LOOP
    INC(k);
    IF k * k > limit THEN RETURN k END
  END
END FirstSquareAbove;

BEGIN
  Classify(-3); Classify(0); Classify(7); Classify(42); WriteLn;
  Kind("7"); Kind("x"); Kind("Q"); Kind(" "); Kind("*"); Kind("#"); WriteLn;
  n := 0; i := 1;
  WHILE i <= 100 DO n := n + i; i := i * 2 END;
  WriteInt(n, 5); WriteLn;
  n := 0;
  REPEAT INC(n) UNTIL n * n >= 50;
  WriteInt(n, 5); WriteLn;
  FOR i := 1 TO 10 BY 3 DO WriteInt(i, 3) END; WriteLn;
  FOR i := 10 TO 1 BY -4 DO WriteInt(i, 3) END; WriteLn;
  FOR i := 5 TO 1 DO WriteString("never") END;
  FOR c := 0 TO 0 DO WriteString("once") END; WriteLn;
  FOR c := 20 TO 2 BY -6 DO WriteCard(c, 3) END; WriteLn;
  i := 0; j := 0;
  LOOP
    INC(i);
    IF ODD(i) THEN
    ELSE
      INC(j, i)
    END;
    IF i = 10 THEN EXIT END
  END;
  WriteInt(j, 4); WriteLn;
  n := 0;
  FOR i := 1 TO 3 DO
    LOOP
      INC(n);
      IF n MOD 4 = 0 THEN EXIT END
    END
  END;
  WriteInt(n, 4); WriteLn;
  WriteInt(FirstSquareAbove(200), 4); WriteLn;
  WITH r DO a := 3; b := a * 4 END;
  WriteInt(r.a + r.b, 4); WriteLn;
  ;;
  IF TRUE THEN END;
  WriteString("done"); WriteLn
END statements.
