MODULE trap_unassigned;
(* expect-trap: 16: value out of range (the variable count was never assigned?) *)
(* A module's variables start as 8000H in every 16-bit word; a counter that was never
   set to zero fails its first check, and the report says why. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR
  count: [0 .. 1000];
  total, i: CARDINAL;

BEGIN
  total := 0;
  FOR i := 1 TO 3 DO INC(total, i) END;
  WriteString("total"); WriteCard(total, 4); WriteLn;
  FOR i := 1 TO 3 DO
    INC(count)
  END;
  WriteCard(count, 4); WriteLn
END trap_unassigned.
