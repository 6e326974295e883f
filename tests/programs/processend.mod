MODULE processend;
(* gm2-skip: gm2 -fpim has no NEWPROCESS and TRANSFER in SYSTEM; the output follows PIM *)
(* The procedure of a process returns: the program ends there, the rest of the body
   never runs. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADR, WORD;
FROM InOut IMPORT WriteString, WriteLn;

VAR main, once: PROCESS; space: ARRAY [0..511] OF WORD;

PROCEDURE Once;
BEGIN
  WriteString("the process runs and returns"); WriteLn
END Once;

BEGIN
  NEWPROCESS(Once, ADR(space), SIZE(space), once);
  TRANSFER(main, once);
  WriteString("the body goes on"); WriteLn
END processend.
