MODULE trap_dispose;
(* expect-trap: 15: DISPOSE of a pointer that is not allocated *)
(* A second DISPOSE through a copy of a pointer already disposed. *)
FROM InOut IMPORT WriteString, WriteLn;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE P = POINTER TO RECORD a, b: INTEGER END;
VAR p, q: P;

BEGIN
  NEW(p); q := p;
  DISPOSE(p);
  IF p = NIL THEN WriteString("p is NIL") END;
  WriteLn;
  DISPOSE(q);
  WriteString("not reached"); WriteLn
END trap_dispose.
