MODULE earlyreturns;
(* Procedures that return at once on their first test: a parameter (the first or
   another), a constant, or nothing; REAL and CHAR parameters; callers that use what they
   passed after the call. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;
FROM RealInOut IMPORT WriteReal;
FROM SYSTEM IMPORT ADR;

TYPE List = POINTER TO Node;
  Node = RECORD value: INTEGER; next: List END;

VAR
  i, total: INTEGER;
  r: REAL;
  nodes: ARRAY [1 .. 10] OF Node;
  head: List;

PROCEDURE Gcd(a, b: INTEGER): INTEGER;
BEGIN
  IF b = 0 THEN RETURN a END;
  RETURN Gcd(b, a MOD b)
END Gcd;

PROCEDURE Sign(n: INTEGER): INTEGER;
BEGIN
  IF n >= 0 THEN RETURN 1 END;
  RETURN -Sign(-n)
END Sign;

PROCEDURE Halve(x: REAL; n: INTEGER): REAL;
BEGIN
  IF n <= 0 THEN RETURN x END;
  RETURN Halve(x * 0.5, n - 1) + 1.0
END Halve;

PROCEDURE Count(p: List): INTEGER;
BEGIN
  IF p = NIL THEN RETURN 0 END;
  RETURN Count(p^.next) + p^.value
END Count;

PROCEDURE Mark(VAR n: INTEGER; k: INTEGER);
BEGIN
  IF k > 3 THEN RETURN END;
  INC(n, k);
  Mark(n, k + 1)
END Mark;

PROCEDURE Upper(c: CHAR): CHAR;
BEGIN
  IF (c < "a") THEN RETURN c END;
  RETURN CAP(c)
END Upper;

PROCEDURE Tri(n: CARDINAL): CARDINAL;
BEGIN
  IF n < 1 THEN RETURN n END;
  RETURN n + Tri(n - 1)
END Tri;

BEGIN
  total := 0;
  FOR i := 1 TO 60 DO total := total + Gcd(i * 7, 84) + Sign(i - 30) * Gcd(i, 0) END;
  WriteString("gcd "); WriteInt(total, 1); WriteLn;
  r := 0.0;
  FOR i := 0 TO 5 DO r := r + Halve(FLOAT(i) + 0.25, i) END;
  WriteString("halve "); WriteReal(r, 16); WriteLn;
  head := NIL;
  FOR i := 1 TO 10 DO nodes[i].value := i * i; nodes[i].next := head; head := ADR(nodes[i]) END;
  WriteString("count "); WriteInt(Count(head), 1); WriteInt(Count(NIL), 3); WriteLn;
  total := 0; Mark(total, 1); Mark(total, 5);
  WriteString("mark "); WriteInt(total, 1); WriteLn;
  WriteString("upper "); WriteInt(ORD(Upper("q")) + ORD(Upper("Q")) + ORD(Upper("1")), 1); WriteLn;
  WriteString("tri "); WriteCard(Tri(1000), 1); WriteCard(Tri(0), 3); WriteLn
END earlyreturns.
