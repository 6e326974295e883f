IMPLEMENTATION MODULE InitB;
FROM InOut IMPORT WriteString, WriteLn;
IMPORT InitC;
VAR v: CARDINAL;

PROCEDURE Value(): CARDINAL;
BEGIN
  RETURN v
END Value;

BEGIN
  v := InitC.Seen() * 10;
  WriteString("InitB body"); WriteLn
END InitB.
