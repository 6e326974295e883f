MODULE trap_halt;
(* expect-trap: 11: HALT called. *)
(* HALT ends the program at once, from inside a procedure. *)
FROM InOut IMPORT WriteString, WriteLn;

PROCEDURE Check(ok: BOOLEAN);
BEGIN
  IF NOT ok THEN
    WriteString("giving up");
    WriteLn;
    HALT
  END;
  WriteString("fine"); WriteLn
END Check;

BEGIN
  Check(TRUE);
  Check(FALSE);
  WriteString("not reached"); WriteLn
END trap_halt.
