MODULE matmul;
(* Two 200 x 200 matrices of reals multiplied, three times; the entries are small
   integers, so the checksum (the sum of the product's entries) is exact. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM MathLib0 IMPORT entier;

CONST N = 200; Rounds = 3;

TYPE Matrix = ARRAY [1 .. N], [1 .. N] OF REAL;

VAR
  a, b, c: Matrix;
  i, j, k, round: INTEGER;
  s, total: REAL;

BEGIN
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO
      a[i, j] := FLOAT((i + 2 * j) MOD 7 - 3);
      b[i, j] := FLOAT((3 * i + j) MOD 5 - 1)
    END
  END;
  total := 0.0;
  FOR round := 1 TO Rounds DO
    FOR i := 1 TO N DO
      FOR j := 1 TO N DO
        s := 0.0;
        FOR k := 1 TO N DO s := s + a[i, k] * b[k, j] END;
        c[i, j] := s
      END
    END;
    FOR i := 1 TO N DO
      FOR j := 1 TO N DO total := total + c[i, j] END
    END;
    a[round, round] := a[round, round] + 1.0
  END;
  WriteString("checksum "); WriteInt(entier(total), 1); WriteLn
END matmul.
