MODULE recursion;
(* Recursion: a chain of 100000 activations deep, mutual recursion declared in order,
   and the classic small recursive functions. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

PROCEDURE Depth(n: CARDINAL): CARDINAL;
(* each activation keeps a local array, so the chain needs a real stack *)
VAR pad: ARRAY [0 .. 3] OF CARDINAL;
BEGIN
  IF n = 0 THEN RETURN 0 END;
  pad[n MOD 4] := n MOD 7;
  RETURN Depth(n - 1) + pad[n MOD 4]
END Depth;

PROCEDURE IsEven(n: CARDINAL): BOOLEAN;
BEGIN
  IF n = 0 THEN RETURN TRUE ELSE RETURN IsOdd(n - 1) END
END IsEven;

PROCEDURE IsOdd(n: CARDINAL): BOOLEAN;
BEGIN
  IF n = 0 THEN RETURN FALSE ELSE RETURN IsEven(n - 1) END
END IsOdd;

PROCEDURE Fib(n: CARDINAL): CARDINAL;
BEGIN
  IF n < 2 THEN RETURN n ELSE RETURN Fib(n - 1) + Fib(n - 2) END
END Fib;

PROCEDURE Ackermann(m, n: CARDINAL): CARDINAL;
BEGIN
  IF m = 0 THEN RETURN n + 1
  ELSIF n = 0 THEN RETURN Ackermann(m - 1, 1)
  ELSE RETURN Ackermann(m - 1, Ackermann(m, n - 1))
  END
END Ackermann;

PROCEDURE Hanoi(n: CARDINAL; from, to, via: CHAR; VAR moves: CARDINAL);
BEGIN
  IF n > 0 THEN
    Hanoi(n - 1, from, via, to, moves);
    INC(moves);
    Hanoi(n - 1, via, to, from, moves)
  END
END Hanoi;

VAR moves: CARDINAL;

BEGIN
  WriteString("depth"); WriteCard(Depth(100000), 8); WriteLn;
  IF IsEven(10000) & IsOdd(777) THEN WriteString("even and odd") END; WriteLn;
  WriteString("fib"); WriteCard(Fib(25), 8); WriteLn;
  WriteString("ackermann"); WriteCard(Ackermann(2, 3), 4); WriteCard(Ackermann(3, 3), 4); WriteLn;
  moves := 0;
  Hanoi(12, "a", "c", "b", moves);
  WriteString("hanoi"); WriteCard(moves, 6); WriteLn
END recursion.
