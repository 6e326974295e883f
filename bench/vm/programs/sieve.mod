MODULE sieve;
(* The sieve of Eratosthenes up to 2000000, three times; the checksum is the number of
   primes found times the rounds. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

CONST Limit = 2000000; Rounds = 3;

VAR
  composite: ARRAY [0 .. Limit] OF BOOLEAN;
  i, j, count, round: CARDINAL;

BEGIN
  count := 0;
  FOR round := 1 TO Rounds DO
    FOR i := 0 TO Limit DO composite[i] := FALSE END;
    i := 2;
    WHILE i * i <= Limit DO
      IF NOT composite[i] THEN
        j := i * i;
        WHILE j <= Limit DO composite[j] := TRUE; j := j + i END
      END;
      INC(i)
    END;
    FOR i := 2 TO Limit DO
      IF NOT composite[i] THEN INC(count) END
    END
  END;
  WriteString("checksum "); WriteCard(count, 1); WriteLn
END sieve.
