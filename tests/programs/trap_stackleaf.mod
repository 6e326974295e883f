MODULE trap_stackleaf;
(* expect-trap: 8: stack overflow *)
(* Recursion without end whose every level first calls a procedure that returns at once:
   when the stack is nearly full, the frame of that call may be the one that does not
   fit, and the report must say so as it would for any call. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

PROCEDURE Probe(n, a, b, c: CARDINAL): CARDINAL;
BEGIN
  IF n = 0 THEN RETURN a END;
  RETURN (a + b) * (b + c) * (c + a) * (a + n) * (b + n) * (c + n) + Probe(n - 1, a, b, c)
END Probe;

PROCEDURE Down(n: CARDINAL): CARDINAL;
VAR x: CARDINAL;
BEGIN
  x := Probe(0, n, 1, 2);
  RETURN Down(n + 1) + x
END Down;

BEGIN
  WriteString("going down"); WriteLn;
  WriteCard(Down(0), 1); WriteLn
END trap_stackleaf.
