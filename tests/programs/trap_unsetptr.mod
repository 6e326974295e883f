MODULE trap_unsetptr;
(* expect-trap: 16: invalid address *)
(* A module's pointer that was never assigned holds 8000H in every 16-bit word, which is
   no address: following it stops at its line, before anything is read through it. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM Storage IMPORT ALLOCATE;

TYPE Node = POINTER TO RECORD value: INTEGER; next: Node END;
VAR head, last, tail: Node; i: INTEGER;

BEGIN
  NEW(head); head^.value := 1; head^.next := NIL;
  last := head;
  FOR i := 2 TO 3 DO NEW(last^.next); last := last^.next; last^.value := i END;
  WriteString("built"); WriteInt(last^.value, 2); WriteLn;
  WriteInt(tail^.value, 4); WriteLn
END trap_unsetptr.
