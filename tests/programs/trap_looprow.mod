MODULE trap_looprow;
(* expect-trap: 23: index out of range *)
(* Index checks in loops: FOR loops up and down by steps of 1, -1 and 2, over limits held
   in variables, with indexes next to the control variable, loops that run no times from
   bounds outside the array, a row outside the grid whose inner loop runs no times, rows
   that change inside the inner loop, and at last a row outside the grid whose inner loop
   runs once. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE
  Row = ARRAY [1 .. 4] OF INTEGER;

VAR
  g: ARRAY [1 .. 3] OF Row;
  a: ARRAY [0 .. 9] OF INTEGER;
  i, n, r, s: INTEGER;

PROCEDURE Sum(r, from, to: INTEGER): INTEGER;
(* the columns from .. to of row r *)
VAR c, s: INTEGER;
BEGIN
  s := 0;
  FOR c := from TO to DO s := s + g[r, c] END;
  RETURN s
END Sum;

PROCEDURE Show(label: ARRAY OF CHAR; value: INTEGER);
BEGIN
  WriteString(label); WriteInt(value, 8); WriteLn
END Show;

BEGIN
  FOR r := 1 TO 3 DO
    FOR i := 1 TO 4 DO g[r, i] := r * 10 + i END
  END;
  FOR i := 9 TO 0 BY -1 DO a[i] := i * i END;
  s := 0; FOR i := 10 TO 1 DO s := s + a[i] END; Show("none up", s);
  s := 0; FOR i := -1 TO 0 BY -1 DO s := s + a[i] END; Show("none down", s);
  s := 0; FOR i := 0 TO 9 BY 2 DO s := s + a[i] END; Show("even", s);
  s := 0; FOR i := 1 TO 10 BY 2 DO s := s + a[i] END; Show("odd", s);
  s := 0; FOR i := 9 TO 1 BY -2 DO s := s * 3 + a[i - 1] END; Show("down 2", s);
  s := 0; FOR i := 0 TO 8 DO s := s + a[i + 1] - a[i] END; Show("next", s);
  n := 9; s := 0; FOR i := 0 TO n DO s := s + a[n - i] * i END; Show("mirror", s);
  n := 4; s := 0; FOR i := n TO 2 * n + 1 DO s := s + a[i] END; Show("limits", s);
  s := 0; r := 1;
  FOR i := 1 TO 4 DO s := s + g[r, i]; r := r MOD 3 + 1 END;
  Show("rows", s);
  s := 0;
  FOR r := 1 TO 3 DO
    FOR i := 4 TO r BY -1 DO s := s + g[r, i] - g[4 - r, 5 - i] END
  END;
  Show("corner", s);
  Show("row 0", Sum(0, 1, 0));
  Show("row 4", Sum(4, 3, 2));
  Show("row 2", Sum(2, 1, 4));
  Show("row 3", Sum(3, 4, 4));
  Show("not reached", Sum(4, 2, 2))
END trap_looprow.
