MODULE quicksort;
(* Quicksort of 1000000 pseudo-random numbers (Park and Miller's generator); the
   checksum adds a sample of the sorted array and counts order violations. *)
FROM InOut IMPORT Write, WriteString, WriteLn;

CONST N = 1000000;

VAR
  a: ARRAY [1 .. N] OF INTEGER;
  seed: LONGINT;
  i, bad: INTEGER;
  sum: LONGINT;
  digits: ARRAY [0 .. 20] OF CHAR;
  n: CARDINAL;

PROCEDURE Sort(lo, hi: INTEGER);
VAR i, j, pivot, t: INTEGER;
BEGIN
  WHILE lo < hi DO
    pivot := a[(lo + hi) DIV 2];
    i := lo; j := hi;
    WHILE i <= j DO
      WHILE a[i] < pivot DO INC(i) END;
      WHILE a[j] > pivot DO DEC(j) END;
      IF i <= j THEN t := a[i]; a[i] := a[j]; a[j] := t; INC(i); DEC(j) END
    END;
    IF j - lo < hi - i THEN Sort(lo, j); lo := i ELSE Sort(i, hi); hi := j END
  END
END Sort;

BEGIN
  seed := 42;
  FOR i := 1 TO N DO
    seed := seed * 16807 MOD 2147483647;
    a[i] := VAL(INTEGER, seed MOD 1000000000)
  END;
  Sort(1, N);
  bad := 0; sum := 0;
  FOR i := 2 TO N DO IF a[i - 1] > a[i] THEN INC(bad) END END;
  i := 1;
  WHILE i <= N DO sum := sum + VAL(LONGINT, a[i]); i := i + 997 END;
  sum := sum + VAL(LONGINT, bad);
  n := 0;
  REPEAT digits[n] := CHR(ORD("0") + VAL(CARDINAL, sum MOD 10)); sum := sum DIV 10; INC(n) UNTIL sum = 0;
  WriteString("checksum ");
  WHILE n > 0 DO DEC(n); Write(digits[n]) END;
  WriteLn
END quicksort.
