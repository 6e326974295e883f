MODULE nested;
(* Nested procedures reach the locals and parameters of the procedures around them,
   also through recursion, where each activation has its own. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn;

VAR total: INTEGER;

PROCEDURE Outer(n: INTEGER): INTEGER;
VAR count: INTEGER;

  PROCEDURE Middle(k: INTEGER);
  VAR local: INTEGER;

    PROCEDURE Inner;
    BEGIN
      INC(count); local := local + k + n
    END Inner;

  BEGIN
    local := 0;
    Inner; Inner;
    IF k > 0 THEN Middle(k - 1) END;
    total := total + local
  END Middle;

BEGIN
  count := 0;
  Middle(n);
  RETURN count
END Outer;

PROCEDURE Permutations(n: CARDINAL);
(* counts the permutations of n elements through a nested recursive procedure that
   uses the enclosing arrays *)
VAR used: ARRAY [1 .. 8] OF BOOLEAN; found: CARDINAL; i: CARDINAL;

  PROCEDURE Place(k: CARDINAL);
  VAR j: CARDINAL;
  BEGIN
    IF k > n THEN INC(found)
    ELSE
      FOR j := 1 TO n DO
        IF NOT used[j] THEN used[j] := TRUE; Place(k + 1); used[j] := FALSE END
      END
    END
  END Place;

BEGIN
  FOR i := 1 TO 8 DO used[i] := FALSE END;
  found := 0;
  Place(1);
  WriteCard(found, 6)
END Permutations;

PROCEDURE Counter(start: INTEGER): INTEGER;
VAR value: INTEGER;
  PROCEDURE Step(by: INTEGER);
    PROCEDURE Deeper; BEGIN value := value + by END Deeper;
  BEGIN
    Deeper; Deeper
  END Step;
BEGIN
  value := start;
  Step(5); Step(-1);
  RETURN value
END Counter;

BEGIN
  total := 0;
  WriteInt(Outer(3), 4); WriteInt(total, 5); WriteLn;
  Permutations(3); Permutations(5); Permutations(6); WriteLn;
  WriteInt(Counter(100), 5); WriteLn
END nested.
