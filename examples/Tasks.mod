MODULE Tasks;
(* Coroutines: three tasks take turns on one processor. Each task is a process made with
   NEWPROCESS, running in a workspace of its own from the heap; it hands the processor
   back to the scheduler with TRANSFER, and the scheduler hands it on to the next task
   that still has work to do, until none has. *)

FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

CONST
  Count = 3;
  Workspace = 8192; (* bytes: three quarters for the task's frames, the rest for copies *)

TYPE
  Task = RECORD
    process: PROCESS;
    space: ADDRESS;
    name: ARRAY [0 .. 7] OF CHAR;
    done: BOOLEAN
  END;

VAR
  scheduler: PROCESS;
  task: ARRAY [1 .. Count] OF Task;
  current: CARDINAL; (* the task whose turn it is *)
  busy: BOOLEAN;

(* The task gives the processor back to the scheduler; it goes on here at its next turn. *)
PROCEDURE Yield;
BEGIN
  TRANSFER(task[current].process, scheduler)
END Yield;

(* Task i sums the first 2 * i squares, one a turn. Its variables live in its own frame
   from turn to turn. *)
PROCEDURE Squares;
  VAR me, n, sum: CARDINAL;
BEGIN
  me := current; sum := 0;
  FOR n := 1 TO 2 * me DO
    sum := sum + n * n;
    WriteString(task[me].name); WriteString(": "); WriteCard(n, 1);
    WriteString(" squared makes the sum "); WriteCard(sum, 1); WriteLn;
    Yield
  END;
  task[me].done := TRUE;
  (* The procedure of a process never returns: that would end the whole program. *)
  LOOP Yield END
END Squares;

PROCEDURE Start(i: CARDINAL);
BEGIN
  ALLOCATE(task[i].space, Workspace);
  NEWPROCESS(Squares, task[i].space, Workspace, task[i].process);
  task[i].done := FALSE
END Start;

BEGIN
  task[1].name := "first"; task[2].name := "second"; task[3].name := "third";
  FOR current := 1 TO Count DO Start(current) END;
  REPEAT
    busy := FALSE;
    FOR current := 1 TO Count DO
      IF NOT task[current].done THEN
        TRANSFER(scheduler, task[current].process);
        busy := TRUE
      END
    END
  UNTIL NOT busy;
  FOR current := 1 TO Count DO DEALLOCATE(task[current].space, Workspace) END;
  WriteString("every task is done"); WriteLn
END Tasks.
