MODULE trap_looprange;
(* expect-trap: 39: value out of range *)
(* gm2-skip: gm2 12 fails on FOR loops over CHAR by a step other than 1 *)
(* Subrange, CHAR and enumeration variables of a procedure counted in loops to the ends of
   their types, FOR loops over them that end at their bounds, and at last an increment of
   a subrange variable past its upper bound at the third step of an inner loop. *)
FROM InOut IMPORT Write, WriteString, WriteInt, WriteLn;

TYPE
  Digit = [0 .. 9];
  Small = [-5 .. 5];
  Day = (mon, tue, wed, thu, fri, sat, sun);

PROCEDURE Walk;
VAR
  d: Digit;
  s: Small;
  day: Day;
  ch: CHAR;
  i, j, sum: INTEGER;
BEGIN
  d := 0; s := -5;
  FOR i := 1 TO 9 DO d := d + 1; INC(s) END;
  WriteInt(d, 2); WriteInt(s, 3);
  sum := 0;
  FOR d := 9 TO 0 BY -1 DO sum := sum * 2 + d END;
  FOR s := 5 TO -5 BY -2 DO sum := sum - s END;
  WriteInt(sum, 6);
  day := mon; i := 0;
  WHILE day < sun DO INC(day); INC(i) END;
  FOR day := sun TO mon BY -3 DO i := i * 10 + VAL(INTEGER, ORD(day)) END;
  WriteInt(i, 6);
  ch := "a";
  FOR i := 1 TO 25 DO INC(ch) END;
  Write(ch); FOR ch := "y" TO "k" BY -5 DO Write(ch) END;
  WriteLn;
  FOR i := 1 TO 4 DO
    d := i + 4;
    FOR j := 1 TO 3 DO WriteInt(d, 3); d := d + 1 END;
    WriteLn
  END
END Walk;

BEGIN
  Walk
END trap_looprange.
