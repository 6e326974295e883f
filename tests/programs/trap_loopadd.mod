MODULE trap_loopadd;
(* expect-trap: 29: integer overflow *)
(* Sums kept in a procedure's locals through nested loops: sums that come close to the
   ends of INTEGER, results written back into an operand on either side, and at last a
   sum that passes MAX(INTEGER) at the third step of an inner loop, after outer rounds
   that stay in range. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

PROCEDURE Edges(n: INTEGER);
VAR i, x, y: INTEGER;
BEGIN
  x := MIN(INTEGER) + n; y := 1;
  FOR i := 1 TO n DO x := x - y END;
  WriteString("low"); WriteInt(x, 13);
  FOR i := 1 TO n DO x := -1 - x END;
  WriteInt(x, 12);
  x := y - x; WriteInt(x, 13);
  x := MAX(INTEGER) - 2 * n;
  FOR i := 1 TO n DO x := x + 2; y := x - y END;
  WriteString(" high"); WriteInt(x, 12); WriteInt(y, 12); WriteLn
END Edges;

PROCEDURE Grow(start, step: INTEGER);
VAR i, j, x, y: INTEGER;
BEGIN
  FOR i := 1 TO 4 DO
    x := start; y := step * i;
    FOR j := 1 TO 4 DO
      x := x + y;
      WriteInt(i, 2); WriteInt(j, 2); WriteInt(x, 12); WriteLn
    END
  END
END Grow;

BEGIN
  Edges(5);
  Grow(MAX(INTEGER) - 850, 100)
END trap_loopadd.
