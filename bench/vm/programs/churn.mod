MODULE churn;
(* NEW and DISPOSE without end: 1000 rounds, each building a list of 10000 nodes and
   freeing it, so that at most 10000 nodes (160000 bytes) are alive at any time. *)
FROM Storage IMPORT ALLOCATE, DEALLOCATE;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

TYPE
  List = POINTER TO Node;
  Node = RECORD value: INTEGER; next: List END;

VAR
  head, p: List;
  round, i: CARDINAL;
  sum: LONGCARD;

BEGIN
  sum := 0;
  FOR round := 1 TO 1000 DO
    head := NIL;
    FOR i := 1 TO 10000 DO
      NEW(p); p^.value := i; p^.next := head; head := p
    END;
    WHILE head # NIL DO
      p := head; head := head^.next;
      sum := sum + VAL(LONGCARD, p^.value);
      DISPOSE(p)
    END
  END;
  WriteString("checksum "); WriteCard(VAL(CARDINAL, sum MOD 1000000000), 0); WriteLn
END churn.
