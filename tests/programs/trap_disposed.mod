MODULE trap_disposed;
(* expect-trap: 30: dereference of a disposed pointer *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE
  List = POINTER TO Node;
  Node = RECORD value: INTEGER; next: List END;

VAR
  head, p, q: List;
  i, sum: INTEGER;

BEGIN
  head := NIL;
  FOR i := 1 TO 5 DO
    NEW(p); p^.value := i; p^.next := head; head := p
  END;
  (* The same pointer read again and again between calls: each read is checked. *)
  sum := 0; p := head;
  WHILE p # NIL DO
    sum := sum + p^.value * p^.value + p^.value; p := p^.next
  END;
  WriteString("sum "); WriteInt(sum, 1); WriteLn;
  (* q still points at the block DISPOSE frees: the read after it must trap. *)
  q := head^.next;
  sum := q^.value;
  p := q;
  DISPOSE(p);
  sum := sum + q^.value;
  WriteString("not reached"); WriteLn
END trap_disposed.
