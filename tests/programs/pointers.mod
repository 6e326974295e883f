MODULE pointers;
(* Pointers with NEW and DISPOSE: a linked list built, reversed, searched and freed. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE
  List = POINTER TO Node;
  Node = RECORD
    value: INTEGER;
    next: List
  END;

VAR
  head, p, q: List;
  i: INTEGER;

PROCEDURE Show(l: List);
BEGIN
  WHILE l # NIL DO WriteInt(l^.value, 4); l := l^.next END;
  WriteLn
END Show;

PROCEDURE Reverse(l: List): List;
VAR done, next: List;
BEGIN
  done := NIL;
  WHILE l # NIL DO
    next := l^.next; l^.next := done; done := l; l := next
  END;
  RETURN done
END Reverse;

PROCEDURE Find(l: List; v: INTEGER): List;
BEGIN
  WHILE (l # NIL) & (l^.value # v) DO l := l^.next END;
  RETURN l
END Find;

BEGIN
  head := NIL;
  FOR i := 1 TO 8 DO
    NEW(p); p^.value := i * i; p^.next := head; head := p
  END;
  Show(head);
  head := Reverse(head);
  Show(head);
  p := Find(head, 25);
  IF p # NIL THEN WriteString("found"); WriteInt(p^.next^.value, 4) END;
  IF Find(head, 26) = NIL THEN WriteString(" not 26") END;
  WriteLn;
  (* remove the odd squares *)
  WHILE (head # NIL) & ODD(head^.value) DO p := head; head := head^.next; DISPOSE(p) END;
  p := head;
  WHILE p^.next # NIL DO
    IF ODD(p^.next^.value) THEN q := p^.next; p^.next := q^.next; DISPOSE(q)
    ELSE p := p^.next
    END
  END;
  Show(head);
  WHILE head # NIL DO p := head; head := head^.next; DISPOSE(p) END;
  IF head = NIL THEN WriteString("freed") END;
  WriteLn
END pointers.
