IMPLEMENTATION MODULE Queues;
(* A queue is a record with a linked list of its elements, the first and the last. *)

FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE
  Element = POINTER TO ElementRecord;
  ElementRecord = RECORD
    value: INTEGER;
    next: Element
  END;
  Queue = POINTER TO QueueRecord;
  QueueRecord = RECORD
    first, last: Element;
    count: INTEGER
  END;

PROCEDURE Create(VAR q: Queue);
BEGIN
  NEW(q); q^.first := NIL; q^.last := NIL; q^.count := 0
END Create;

PROCEDURE Put(q: Queue; x: INTEGER);
VAR e: Element;
BEGIN
  NEW(e); e^.value := x; e^.next := NIL;
  IF q^.last = NIL THEN q^.first := e ELSE q^.last^.next := e END;
  q^.last := e; INC(q^.count)
END Put;

PROCEDURE Get(q: Queue; VAR x: INTEGER);
VAR e: Element;
BEGIN
  (* Getting from an empty queue is the caller's mistake: e^ below then traps. *)
  e := q^.first;
  x := e^.value;
  q^.first := e^.next;
  IF q^.first = NIL THEN q^.last := NIL END;
  DEC(q^.count);
  DISPOSE(e)
END Get;

PROCEDURE Empty(q: Queue): BOOLEAN;
BEGIN
  RETURN q^.first = NIL
END Empty;

PROCEDURE Count(q: Queue): INTEGER;
BEGIN
  RETURN q^.count
END Count;

PROCEDURE Dispose(VAR q: Queue);
VAR x: INTEGER;
BEGIN
  WHILE NOT Empty(q) DO Get(q, x) END;
  DISPOSE(q)
END Dispose;

END Queues.
