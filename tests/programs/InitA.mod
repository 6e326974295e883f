IMPLEMENTATION MODULE InitA;
FROM InOut IMPORT WriteString, WriteLn;
IMPORT InitB, InitC;
VAR v: CARDINAL;

PROCEDURE Value(): CARDINAL;
BEGIN
  RETURN v
END Value;

BEGIN
  v := InitB.Value() + InitC.Seen();
  WriteString("InitA body"); WriteLn
END InitA.
