MODULE trap_unsetsum;
(* expect-trap: 15: integer overflow (the variable low was never assigned?) *)
(* A module variable summed in a loop without calls is kept in a register; when its
   first step overflows, the report still names it as never assigned. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  i, step, high, low: INTEGER;

BEGIN
  step := 40000; high := 0;
  FOR i := 1 TO 3 DO high := high + step END;
  WriteString("high"); WriteInt(high, 7); WriteLn;
  FOR i := 1 TO 3 DO
    low := low - step
  END;
  WriteInt(low, 12); WriteLn
END trap_unsetsum.
