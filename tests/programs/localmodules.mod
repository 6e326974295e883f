MODULE localmodules;
(* Local modules: EXPORT, IMPORT into a local module, bodies run in order of
   declaration before the enclosing body, variables kept between calls. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR seed: CARDINAL;

MODULE Counter;
  IMPORT WriteString, WriteLn;
  EXPORT Next, Reset;
  VAR n: CARDINAL;
  PROCEDURE Next(): CARDINAL;
  BEGIN
    INC(n); RETURN n
  END Next;
  PROCEDURE Reset;
  BEGIN
    n := 0
  END Reset;
BEGIN
  n := 100;
  WriteString("Counter body"); WriteLn
END Counter;

MODULE Random;
  IMPORT seed, WriteString, WriteLn;
  EXPORT Get, Limit;
  CONST Limit = 1000;
  PROCEDURE Get(): CARDINAL;
  BEGIN
    seed := (seed * 137 + 11) MOD Limit;
    RETURN seed
  END Get;
BEGIN
  seed := 7;
  WriteString("Random body"); WriteLn
END Random;

BEGIN
  WriteString("main body"); WriteLn;
  WriteCard(Next(), 5); WriteCard(Next(), 5);
  Reset;
  WriteCard(Next(), 5); WriteLn;
  WriteCard(Get(), 5); WriteCard(Get(), 5); WriteCard(Limit, 6); WriteLn;
  WriteCard(seed, 5); WriteLn
END localmodules.
