MODULE fib;
(* Recursive Fibonacci: fib(35), 30 million calls. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

PROCEDURE Fib(n: CARDINAL): CARDINAL;
BEGIN
  IF n < 2 THEN RETURN n ELSE RETURN Fib(n - 1) + Fib(n - 2) END
END Fib;

BEGIN
  WriteString("checksum "); WriteCard(Fib(35), 1); WriteLn
END fib.
