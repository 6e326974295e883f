MODULE fordown;
(* expect-trap: 24: index out of range *)
(* FOR loops counting down over arrays: within the bounds, from a limit above the start (no
   pass), and one step below the low bound, which is out of range. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  a: ARRAY [3 .. 12] OF INTEGER;
  i, s: INTEGER;

BEGIN
  FOR i := 12 TO 3 BY -1 DO a[i] := i * i END;
  s := 0;
  FOR i := 12 TO 3 BY -1 DO s := s * 3 + a[i] MOD 7 END;
  WriteString("sum"); WriteInt(s, 10); WriteLn;
  FOR i := 5 TO 9 BY -1 DO a[i] := 0 END;
  s := 0;
  FOR i := 10 TO 3 BY -2 DO s := s + a[i] END;
  WriteString("even"); WriteInt(s, 6); WriteLn;
  FOR i := 12 TO 4 BY -1 DO a[i] := a[i - 1] END;
  WriteString("moved"); WriteInt(a[12], 6); WriteInt(a[4], 6); WriteLn;
  s := 0;
  FOR i := 12 TO 2 BY -1 DO
    s := s + a[i]
  END;
  WriteString("not reached"); WriteLn
END fordown.
