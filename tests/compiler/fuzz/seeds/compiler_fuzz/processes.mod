MODULE Processes;
(* Coroutines: processes made with NEWPROCESS in workspaces of the module and of the heap,
   handing the processor on with TRANSFER, a loop whose variables live across transfers. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS, ADR, WORD;
VAR
  main, ping, pong: PROCESS;
  space: ARRAY [0..511] OF WORD;
  heap: ADDRESS;
  n, total: INTEGER;

PROCEDURE Ping;
  VAR i: INTEGER;
BEGIN
  FOR i := 1 TO 10 DO INC(total, i); TRANSFER(ping, pong) END;
  TRANSFER(ping, main)
END Ping;

PROCEDURE Pong;
BEGIN
  LOOP n := n + total; TRANSFER(pong, ping) END
END Pong;

BEGIN
  n := 0; total := 0; heap := NIL;
  NEWPROCESS(Ping, ADR(space), SIZE(space), ping);
  IF heap = NIL THEN NEWPROCESS(Pong, ADR(space[256]), 1024, pong) END;
  TRANSFER(main, ping)
END Processes.
