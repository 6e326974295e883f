MODULE Checkout;
(* A program that uses the module pair Queues.def and Queues.mod beside it: two queues
   at the checkout of a shop. Customers (numbered) join the shorter queue; each round
   the first of every queue is served. velmarin --run compiles Queues too. *)

IMPORT Queues;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR
  left, right: Queues.Queue;
  customer, served, round: INTEGER;

PROCEDURE Join(c: INTEGER);
BEGIN
  IF Queues.Count(left) <= Queues.Count(right) THEN Queues.Put(left, c)
  ELSE Queues.Put(right, c)
  END
END Join;

PROCEDURE Serve(q: Queues.Queue; till: ARRAY OF CHAR);
VAR c: INTEGER;
BEGIN
  IF NOT Queues.Empty(q) THEN
    Queues.Get(q, c);
    WriteString("  "); WriteString(till); WriteString(" serves customer"); WriteInt(c, 3); WriteLn
  END
END Serve;

BEGIN
  Queues.Create(left); Queues.Create(right);
  customer := 0; round := 0;
  WHILE customer < 7 DO
    INC(customer); Join(customer);
    INC(customer); Join(customer);
    INC(round);
    WriteString("Round"); WriteInt(round, 2); WriteString(":"); WriteLn;
    Serve(left, "left ");
    IF round MOD 2 = 0 THEN Serve(right, "right") END
  END;
  WriteString("Still waiting:"); WriteInt(Queues.Count(left) + Queues.Count(right), 3); WriteLn;
  Queues.Dispose(left); Queues.Dispose(right)
END Checkout.
