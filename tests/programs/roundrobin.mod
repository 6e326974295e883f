MODULE roundrobin;
(* gm2-skip: gm2 -fpim has no NEWPROCESS and TRANSFER in SYSTEM; the output follows PIM *)
(* A round robin of three processes, each with its own workspace from the heap: a
   scheduler hands the processor to each in turn until all of them are done. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

CONST N = 3; Space = 4096;

VAR
  scheduler: PROCESS;
  process: ARRAY [1..N] OF PROCESS;
  space: ARRAY [1..N] OF ADDRESS;
  current, running, round: CARDINAL;
  steps: ARRAY [1..N] OF CARDINAL;
  done: ARRAY [1..N] OF BOOLEAN;

(* Each process runs a different number of steps; its counter lives in its own frame. *)
PROCEDURE Worker;
  VAR me, i: CARDINAL;
BEGIN
  me := current;
  FOR i := 1 TO me + 1 DO
    WriteString("  process "); WriteCard(me, 1);
    WriteString(" step "); WriteCard(i, 1); WriteLn;
    INC(steps[me]);
    TRANSFER(process[me], scheduler)
  END;
  done[me] := TRUE; DEC(running);
  LOOP TRANSFER(process[me], scheduler) END
END Worker;

BEGIN
  FOR current := 1 TO N DO
    ALLOCATE(space[current], Space);
    steps[current] := 0; done[current] := FALSE;
    NEWPROCESS(Worker, space[current], Space, process[current])
  END;
  (* The first turn starts each process; it reads current before it yields. *)
  running := N; round := 0;
  WHILE running > 0 DO
    INC(round);
    WriteString("round "); WriteCard(round, 1); WriteLn;
    FOR current := 1 TO N DO
      IF NOT done[current] THEN TRANSFER(scheduler, process[current]) END
    END
  END;
  FOR current := 1 TO N DO DEALLOCATE(space[current], Space) END;
  WriteString("steps:");
  FOR current := 1 TO N DO WriteCard(steps[current], 2) END;
  WriteLn
END roundrobin.
