MODULE trap_nil;
(* expect-trap: 18: NIL dereference *)
(* Following a NIL pointer at the end of a list. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM Storage IMPORT ALLOCATE;

TYPE
  List = POINTER TO Node;
  Node = RECORD value: INTEGER; next: List END;

VAR
  p: List;

BEGIN
  NEW(p); p^.value := 1; p^.next := NIL;
  WriteString("first"); WriteInt(p^.value, 2); WriteLn;
  p := p^.next;
  WriteInt(p^.value, 2);
  WriteString("not reached"); WriteLn
END trap_nil.
