IMPLEMENTATION MODULE Stacks;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE
  Cell = POINTER TO CellRec;
  CellRec = RECORD value: INTEGER; below: Cell END;
  Stack = POINTER TO StackRec;
  StackRec = RECORD top: Cell; size: CARDINAL END;

PROCEDURE New(VAR s: Stack);
BEGIN
  NEW(s); s^.top := NIL; s^.size := 0
END New;

PROCEDURE Push(s: Stack; x: INTEGER);
VAR c: Cell;
BEGIN
  NEW(c); c^.value := x; c^.below := s^.top; s^.top := c; INC(s^.size)
END Push;

PROCEDURE Pop(s: Stack): INTEGER;
VAR c: Cell; x: INTEGER;
BEGIN
  c := s^.top; x := c^.value; s^.top := c^.below; DISPOSE(c); DEC(s^.size);
  RETURN x
END Pop;

PROCEDURE Empty(s: Stack): BOOLEAN;
BEGIN
  RETURN s^.top = NIL
END Empty;

PROCEDURE Dispose(VAR s: Stack);
VAR x: INTEGER;
BEGIN
  WHILE NOT Empty(s) DO x := Pop(s) END;
  DISPOSE(s); s := NIL
END Dispose;

END Stacks.
