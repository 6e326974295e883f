MODULE processdepth;
(* gm2-skip: gm2 -fpim has no NEWPROCESS and TRANSFER in SYSTEM; the output follows PIM *)
(* Deep recursion inside a process whose workspace of 8 MB comes from the heap, with
   strings passed by value on the way. *)
FROM SYSTEM IMPORT PROCESS, NEWPROCESS, TRANSFER, ADDRESS;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

CONST Space = 8 * 1024 * 1024;

VAR main, deep: PROCESS; space: ADDRESS; result: CARDINAL;

PROCEDURE Sum(n: CARDINAL): CARDINAL;
BEGIN
  IF n = 0 THEN RETURN 0 END;
  RETURN n + Sum(n - 1)
END Sum;

PROCEDURE Length(s: ARRAY OF CHAR; depth: CARDINAL): CARDINAL;
BEGIN
  s[0] := "x";   (* a copy of its own *)
  IF depth = 0 THEN RETURN HIGH(s) + 1 END;
  RETURN Length(s, depth - 1)
END Length;

PROCEDURE Deep;
BEGIN
  result := Sum(50000);
  TRANSFER(deep, main);
  result := Length("a string passed by value", 1000);
  TRANSFER(deep, main)
END Deep;

BEGIN
  ALLOCATE(space, Space);
  NEWPROCESS(Deep, space, Space, deep);
  TRANSFER(main, deep);
  WriteString("sum of 1 .. 50000: "); WriteCard(result, 1); WriteLn;
  TRANSFER(main, deep);
  WriteString("length: "); WriteCard(result, 1); WriteLn;
  DEALLOCATE(space, Space)
END processdepth.
