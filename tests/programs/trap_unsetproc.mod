MODULE trap_unsetproc;
(* expect-trap: 16: call of an invalid procedure value *)
(* A module's procedure variable that was never assigned holds no procedure: a call of
   it stops at its line. One that was assigned is called as usual. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

TYPE Op = PROCEDURE (INTEGER): INTEGER;
VAR twice, other: Op;

PROCEDURE Double(x: INTEGER): INTEGER;
BEGIN RETURN 2 * x END Double;

BEGIN
  twice := Double;
  WriteString("twice"); WriteInt(twice(21), 3); WriteLn;
  WriteInt(other(21), 3); WriteLn
END trap_unsetproc.
