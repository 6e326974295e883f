MODULE arrays;
(* Arrays of one, two and three dimensions, arrays of records, whole-array
   assignment and comparison element by element. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

CONST N = 4;

TYPE
  Vector = ARRAY [1 .. N] OF INTEGER;
  Matrix = ARRAY [1 .. N] OF Vector;
  Cube = ARRAY [0 .. 2], [0 .. 2], [0 .. 2] OF INTEGER;
  Point = RECORD x, y: INTEGER END;

VAR
  a, b, c: Matrix;
  cube: Cube;
  v: Vector;
  points: ARRAY [0 .. 4] OF Point;
  i, j, k, sum: INTEGER;

BEGIN
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO
      a[i][j] := i + j;
      b[i, j] := i - j
    END
  END;
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO
      sum := 0;
      FOR k := 1 TO N DO sum := sum + a[i, k] * b[k][j] END;
      c[i, j] := sum
    END
  END;
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO WriteInt(c[i, j], 5) END;
    WriteLn
  END;
  v := c[2];
  c[1] := v;
  FOR j := 1 TO N DO WriteInt(c[1][j] - c[2, j], 3) END;
  WriteLn;
  FOR i := 0 TO 2 DO
    FOR j := 0 TO 2 DO
      FOR k := 0 TO 2 DO cube[i, j, k] := i * 100 + j * 10 + k END
    END
  END;
  WriteInt(cube[2, 1, 0], 5); WriteInt(cube[0][2][1], 5); WriteLn;
  FOR i := 0 TO 4 DO points[i].x := i; points[i].y := i * i END;
  sum := 0;
  FOR i := 0 TO 4 DO sum := sum + points[i].x * points[i].y END;
  WriteString("sum"); WriteInt(sum, 5); WriteLn
END arrays.
