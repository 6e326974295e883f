MODULE Rows;
(* Nested FOR loops over two-dimensional arrays: rows that an inner loop does not change,
   limits that are variables, loops of no steps over rows outside the array, and calls
   inside the loops. *)
CONST N = 6;
VAR a, b, c: ARRAY [1 .. N], [1 .. N] OF INTEGER; m: ARRAY [0 .. 3], [2 .. 5] OF REAL;
  i, j, k, n, s: INTEGER; x: REAL;

PROCEDURE Id(v: INTEGER): INTEGER;
BEGIN RETURN v END Id;

BEGIN
  FOR i := 1 TO N DO FOR j := 1 TO N DO a[i, j] := i + j; b[i, j] := i - j END END;
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO
      s := 0;
      FOR k := 1 TO N DO s := s + a[i, k] * b[k, j] END;
      c[i, j] := s + Id(a[i, j])
    END
  END;
  n := 3; s := 0;
  FOR i := 9 TO 20 DO FOR j := n TO 1 DO s := s + a[i, j] END END;
  FOR i := 1 TO n DO FOR j := N TO 1 BY -1 DO s := s + c[j, i] - a[i, Id(j)] END END;
  FOR i := 0 TO 3 DO FOR j := 2 TO 5 DO m[i, j] := FLOAT(i * j); x := x + m[i, j] * 0.5 END END;
  FOR i := 1 TO N DO
    j := 1;
    WHILE j <= N DO s := s + a[i, j]; j := j + 2 END
  END
END Rows.
