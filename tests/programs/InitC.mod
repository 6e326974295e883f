IMPLEMENTATION MODULE InitC;
FROM InOut IMPORT WriteString, WriteLn;
VAR runs: CARDINAL;

PROCEDURE Seen(): CARDINAL;
BEGIN
  RETURN runs
END Seen;

BEGIN
  runs := 1;
  WriteString("InitC body"); WriteLn
END InitC.
