MODULE coroutines;
(* gm2-skip: gm2 -fpim has no NEWPROCESS and TRANSFER in SYSTEM; the output follows PIM *)
(* A producer and a consumer that hand each other one item at a time, their workspaces
   arrays of the module. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADR, WORD;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  main, producer, consumer, self: PROCESS;
  item, count, total: INTEGER;
  full: BOOLEAN;
  producerSpace, consumerSpace: ARRAY [0..1023] OF WORD;

PROCEDURE Produce;
  VAR i: INTEGER;
BEGIN
  FOR i := 1 TO 5 DO
    item := i * i; full := TRUE;
    WriteString("produced "); WriteInt(item, 1); WriteLn;
    TRANSFER(producer, consumer)
  END;
  full := FALSE;
  TRANSFER(producer, consumer)
END Produce;

PROCEDURE Consume;
  VAR sum: INTEGER;   (* kept in the consumer's own frame across the transfers *)
BEGIN
  sum := 0;
  LOOP
    IF NOT full THEN EXIT END;
    WriteString("consumed "); WriteInt(item, 1); WriteLn;
    INC(count); INC(sum, item);
    TRANSFER(consumer, producer)
  END;
  total := sum;
  TRANSFER(consumer, main)
END Consume;

BEGIN
  count := 0; full := FALSE;
  NEWPROCESS(Produce, ADR(producerSpace), SIZE(producerSpace), producer);
  NEWPROCESS(Consume, ADR(consumerSpace), SIZE(consumerSpace), consumer);
  TRANSFER(main, producer);
  WriteString("items: "); WriteInt(count, 1);
  WriteString(", sum: "); WriteInt(total, 1); WriteLn;
  (* A transfer to the running process goes on where it is. *)
  TRANSFER(self, main);
  TRANSFER(main, self);
  WriteString("still the main process"); WriteLn
END coroutines.
