MODULE separate;
(* Separately compiled modules: an opaque type used only through its procedures, an
   exported variable read and changed, a module body that ran before this one. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;
FROM Stacks IMPORT Stack, New, Push, Pop, Empty, Dispose;
IMPORT Counters;

VAR
  s, t: Stack;
  i: INTEGER;

BEGIN
  WriteString("separate body"); WriteLn;
  New(s); New(t);
  FOR i := 1 TO 5 DO Push(s, i * i) END;
  WHILE NOT Empty(s) DO Push(t, Pop(s)) END;
  WHILE NOT Empty(t) DO WriteInt(Pop(t), 4) END;
  WriteLn;
  Dispose(s); Dispose(t);
  IF s = NIL THEN WriteString("disposed") END;
  WriteLn;
  WriteCard(Counters.count, 6);
  Counters.Tick(5); Counters.Tick(7);
  WriteCard(Counters.count, 6);
  Counters.count := 0; Counters.Tick(1);
  WriteCard(Counters.count, 3); WriteLn
END separate.
