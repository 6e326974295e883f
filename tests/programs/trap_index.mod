MODULE trap_index;
(* expect-trap: 14: index out of range *)
(* An array index one past the end. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  a: ARRAY [1 .. 5] OF INTEGER;
  i: INTEGER;

BEGIN
  FOR i := 1 TO 5 DO a[i] := i * 10 END;
  WriteString("last"); WriteInt(a[5], 4); WriteLn;
  i := 6;
  a[i] := 0;
  WriteString("not reached"); WriteLn
END trap_index.
