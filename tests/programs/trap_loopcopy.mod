MODULE trap_loopcopy;
(* expect-trap: 17: index out of range *)
(* FOR loops whose limits lie within one array's bounds and that index another array of
   other bounds: copies shifted by one, through a subrange control variable, between open
   array parameters of different lengths, and at last a copy whose last step reads past
   the end of the shorter source. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  long: ARRAY [1 .. 10] OF INTEGER;
  short: ARRAY [1 .. 9] OF INTEGER;
  i, s: INTEGER;

PROCEDURE Copy(VAR to: ARRAY OF INTEGER; from: ARRAY OF INTEGER);
VAR i: INTEGER;
BEGIN
  FOR i := 0 TO HIGH(to) DO to[i] := from[i] * 2 END
END Copy;

PROCEDURE Sum(VAR v: ARRAY OF INTEGER): INTEGER;
VAR k: [0 .. 9]; s: INTEGER;
BEGIN
  s := 0;
  FOR k := 0 TO HIGH(v) DO s := s * 3 + v[k] END;
  RETURN s
END Sum;

BEGIN
  FOR i := 1 TO 10 DO long[i] := i END;
  FOR i := 1 TO 9 DO short[i] := long[i + 1] END;
  FOR i := 10 TO 2 BY -1 DO long[i] := short[i - 1] + long[i - 1] END;
  WriteString("shifted"); WriteInt(Sum(long), 10); WriteInt(Sum(short), 10); WriteLn;
  Copy(short, long);
  WriteString("copied"); WriteInt(Sum(short), 10); WriteLn;
  s := 0;
  FOR i := 1 TO 9 DO s := s + long[i + 1] - short[i] END;
  WriteString("paired"); WriteInt(s, 10); WriteLn;
  Copy(long, short);
  WriteString("not reached"); WriteLn
END trap_loopcopy.
