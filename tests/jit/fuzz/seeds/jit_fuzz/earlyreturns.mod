MODULE EarlyReturns;
(* Procedures that return at once on their first test, called among other calls whose
   results and arguments are held across them; recursion on one and two parameters. *)
VAR i, t, u: INTEGER; r: REAL; c: CHAR; k: CARDINAL;

PROCEDURE Gcd(a, b: INTEGER): INTEGER;
BEGIN IF b = 0 THEN RETURN a END; RETURN Gcd(b, a MOD b) END Gcd;

PROCEDURE Sign(n: INTEGER): INTEGER;
BEGIN IF n >= 0 THEN RETURN 1 END; RETURN -Sign(-n) END Sign;

PROCEDURE Fib(n: CARDINAL): CARDINAL;
BEGIN IF n < 2 THEN RETURN n END; RETURN Fib(n - 1) + Fib(n - 2) END Fib;

PROCEDURE Half(x: REAL; n: INTEGER): REAL;
BEGIN IF n <= 0 THEN RETURN x END; RETURN Half(x * 0.5, n - 1) + 1.0 END Half;

PROCEDURE Up(ch: CHAR): CHAR;
BEGIN IF ch < "a" THEN RETURN ch END; RETURN CAP(ch) END Up;

PROCEDURE Ack(m, n: CARDINAL): CARDINAL;
BEGIN
  IF m = 0 THEN RETURN n + 1 END;
  IF n = 0 THEN RETURN Ack(m - 1, 1) END;
  RETURN Ack(m - 1, Ack(m, n - 1))
END Ack;

PROCEDURE Tick(VAR n: INTEGER; k: INTEGER);
BEGIN IF k > 3 THEN RETURN END; INC(n, k); Tick(n, k + 1) END Tick;

BEGIN
  t := 0; u := 0;
  FOR i := 1 TO 30 DO
    t := t + Sign(i - 15) * Gcd(i, 0) + Gcd(i * 7, 42);
    u := u + Gcd(Sign(i), i) - Sign(Gcd(i, 6) - 3);
    Tick(u, i MOD 5)
  END;
  k := Fib(15) + Ack(2, 3);
  r := Half(3.0, 4) + Half(1.0, 0);
  c := Up(Up("q"))
END EarlyReturns.
