MODULE exportqualified;
(* gm2-skip: gm2 refuses EXPORT QUALIFIED in a local module *)
(* A local module exporting qualified names: they are used as Module.name, and the
   same name may stand unqualified for something else. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR Get: CARDINAL;

MODULE Stack;
  EXPORT QUALIFIED Push, Get, Size;
  VAR items: ARRAY [1 .. 10] OF CARDINAL; Size: CARDINAL;
  PROCEDURE Push(x: CARDINAL);
  BEGIN
    INC(Size); items[Size] := x
  END Push;
  PROCEDURE Get(): CARDINAL;
  BEGIN
    DEC(Size); RETURN items[Size + 1]
  END Get;
BEGIN
  Size := 0
END Stack;

BEGIN
  Get := 5;
  Stack.Push(1); Stack.Push(2); Stack.Push(Get);
  WriteCard(Stack.Size, 3);
  WriteCard(Stack.Get(), 3); WriteCard(Stack.Get(), 3);
  WriteCard(Stack.Size, 3); WriteCard(Get, 3);
  WriteLn
END exportqualified.
