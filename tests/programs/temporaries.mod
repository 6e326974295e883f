MODULE temporaries;
(* expect-trap: 45: index out of range *)
(* gm2-skip: gm2 refuses CHAR of an INTEGER; with CHR(ORD("A") + ...) in its place it writes the same *)
(* Values worked out in loops and kept in the processor's registers, then handed on: as
   arguments to a procedure, to a division the machine carries out, to a conversion to a
   character, to a real argument; and an index out of range met in such a loop. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  i, j, s: INTEGER;
  x: REAL;
  line: ARRAY [0 .. 25] OF CHAR;
  small: ARRAY [0 .. 9] OF INTEGER;

PROCEDURE Mix(a, b: INTEGER; r: REAL; c: CHAR): INTEGER;
BEGIN
  RETURN a * 3 - b + TRUNC(r) + INTEGER(ORD(c))
END Mix;

PROCEDURE Sum(n: INTEGER): INTEGER;
  VAR k, t: INTEGER;
BEGIN
  t := 0;
  FOR k := 1 TO n DO
    t := t + Mix(k * k - n, (k + n) MOD 13, FLOAT(CARDINAL(k)) * 0.75, CHR(ORD("a") + CARDINAL(k MOD 26)))
  END;
  RETURN t
END Sum;

BEGIN
  s := 0;
  x := 0.5;
  FOR i := 1 TO 200 DO
    j := (i * 7 + 3) DIV (i MOD 5 + 1);
    x := x + 0.25;
    s := s + Mix(i * i - j, (j + i) MOD 13, x * 2.0, CHR(ORD("A") + CARDINAL((i * 3 + j) MOD 26)));
    line[i MOD 26] := CHAR(65 + (i * 3 + j) MOD 26 + 256 * i)
  END;
  WriteString("sum"); WriteInt(s, 10); WriteLn;
  WriteString("nested"); WriteInt(Sum(40), 10); WriteLn;
  WriteString(line); WriteLn;
  FOR i := 0 TO 9 DO small[i] := i END;
  j := 0;
  FOR i := 1 TO 20 DO
    j := small[(i * 3 + j) MOD 11] + j
  END;
  WriteString("not reached"); WriteLn
END temporaries.
