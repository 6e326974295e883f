MODULE queens;
(* The eight queens: all 92 solutions counted, the first one printed. *)
FROM InOut IMPORT Write, WriteString, WriteCard, WriteLn;

VAR
  row: ARRAY [1 .. 8] OF CARDINAL;
  colFree: ARRAY [1 .. 8] OF BOOLEAN;
  upFree: ARRAY [2 .. 16] OF BOOLEAN;
  downFree: ARRAY [-7 .. 7] OF BOOLEAN;
  solutions, i: CARDINAL;
  k: INTEGER;

PROCEDURE Print;
VAR r, c: CARDINAL;
BEGIN
  FOR r := 1 TO 8 DO
    FOR c := 1 TO 8 DO
      IF row[r] = c THEN Write("Q") ELSE Write(".") END
    END;
    WriteLn
  END
END Print;

PROCEDURE Try(r: CARDINAL);
VAR c: CARDINAL;
BEGIN
  FOR c := 1 TO 8 DO
    IF colFree[c] & upFree[r + c] & downFree[VAL(INTEGER, r) - VAL(INTEGER, c)] THEN
      row[r] := c;
      colFree[c] := FALSE; upFree[r + c] := FALSE; downFree[VAL(INTEGER, r) - VAL(INTEGER, c)] := FALSE;
      IF r < 8 THEN Try(r + 1)
      ELSE
        INC(solutions);
        IF solutions = 1 THEN Print END
      END;
      colFree[c] := TRUE; upFree[r + c] := TRUE; downFree[VAL(INTEGER, r) - VAL(INTEGER, c)] := TRUE
    END
  END
END Try;

BEGIN
  FOR i := 1 TO 8 DO colFree[i] := TRUE END;
  FOR i := 2 TO 16 DO upFree[i] := TRUE END;
  FOR k := -7 TO 7 DO downFree[k] := TRUE END;
  solutions := 0;
  Try(1);
  WriteString("solutions"); WriteCard(solutions, 4); WriteLn
END queens.
