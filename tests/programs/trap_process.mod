MODULE trap_process;
(* gm2-skip: gm2 -fpim has no NEWPROCESS and TRANSFER in SYSTEM; the output follows PIM *)
(* expect-trap: 15: stack overflow *)
(* A workspace too small for what the process does: the process traps, nothing else
   is touched. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADR, WORD;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  main, p: PROCESS;
  before: ARRAY [0..3] OF INTEGER;
  space: ARRAY [0..255] OF WORD;
  after: ARRAY [0..3] OF INTEGER;

PROCEDURE Down(n: INTEGER): INTEGER;
BEGIN
  IF n = 0 THEN RETURN 0 END;
  RETURN 1 + Down(n - 1)
END Down;

PROCEDURE Run;
BEGIN
  WriteString("depth 5: "); WriteInt(Down(5), 1); WriteLn;
  WriteString("depth 1000: "); WriteInt(Down(1000), 1); WriteLn
END Run;

BEGIN
  before[3] := 7; after[0] := 9;
  NEWPROCESS(Run, ADR(space), SIZE(space), p);
  TRANSFER(main, p)
END trap_process.
