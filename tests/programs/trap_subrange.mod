MODULE trap_subrange;
(* expect-trap: 15: value out of range *)
(* An assignment to a subrange variable of a value outside it. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

TYPE Digit = [0 .. 9];
VAR
  d: Digit;
  n: CARDINAL;

BEGIN
  d := 9; n := d;
  WriteString("digit"); WriteCard(d, 2); WriteLn;
  n := n + 1;
  d := n;
  WriteString("not reached"); WriteLn
END trap_subrange.
