IMPLEMENTATION MODULE Counters;
FROM InOut IMPORT WriteString, WriteLn;

PROCEDURE Tick(by: CARDINAL);
BEGIN
  count := count + by
END Tick;

BEGIN
  count := 1000;
  WriteString("Counters body"); WriteLn
END Counters.
