MODULE trap_stack;
(* expect-trap: 11: stack overflow *)
(* Recursion without end exhausts the stack; the program ends with a report instead of
   bringing the workstation down. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

PROCEDURE Down(n: CARDINAL): CARDINAL;
VAR pad: ARRAY [0 .. 15] OF CARDINAL;
BEGIN
  pad[n MOD 16] := n;
  RETURN Down(n + 1) + pad[n MOD 16]
END Down;

BEGIN
  WriteString("going down"); WriteLn;
  WriteCard(Down(0), 1); WriteLn
END trap_stack.
