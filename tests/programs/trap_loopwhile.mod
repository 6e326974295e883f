MODULE trap_loopwhile;
(* expect-trap: 40: index out of range *)
(* WHILE, REPEAT and LOOP loops over arrays whose index the loop body steps: loops that
   end exactly at the last element, a search that leaves by EXIT, FOR loops over open
   array parameters up to HIGH, and at last a WHILE loop whose last step indexes one past
   the end. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  a: ARRAY [1 .. 8] OF INTEGER;
  b: ARRAY [0 .. 2] OF INTEGER;
  i, s: INTEGER;

PROCEDURE Total(VAR v: ARRAY OF INTEGER; step: INTEGER): INTEGER;
VAR i, s: INTEGER;
BEGIN
  s := 0;
  FOR i := 0 TO HIGH(v) DO s := s + v[i] END;
  i := HIGH(v);
  REPEAT s := s * 2 - v[i]; i := i - step UNTIL i < 0;
  RETURN s
END Total;

PROCEDURE Find(x: INTEGER): INTEGER;
VAR i: INTEGER;
BEGIN
  i := 1;
  LOOP
    IF a[i] = x THEN EXIT END;
    IF i = 8 THEN i := 0; EXIT END;
    INC(i)
  END;
  RETURN i
END Find;

PROCEDURE Past(n: INTEGER): INTEGER;
VAR i, s: INTEGER;
BEGIN
  i := 1; s := 0;
  WHILE i <= n DO s := s + a[i]; INC(i, 2) END;
  RETURN s
END Past;

BEGIN
  i := 0;
  WHILE i < 8 DO INC(i); a[i] := i * 3 - 10 END;
  s := 0; i := 9;
  REPEAT DEC(i); s := s + a[i] * i UNTIL i = 1;
  WriteString("weighted"); WriteInt(s, 6); WriteLn;
  b[0] := 5; b[1] := -2; b[2] := 7;
  WriteString("totals"); WriteInt(Total(a, 1), 8); WriteInt(Total(b, 2), 8); WriteLn;
  WriteString("found"); WriteInt(Find(11), 3); WriteInt(Find(-7), 3); WriteInt(Find(12), 3); WriteLn;
  WriteString("odd"); WriteInt(Past(8), 5); WriteInt(Past(7), 5); WriteInt(Past(0), 5); WriteLn;
  s := Past(9);
  WriteString("not reached"); WriteLn
END trap_loopwhile.
