MODULE enums;
(* Enumerations: ORD, VAL, MIN, MAX, INC, DEC, FOR over an enumeration, CASE on one. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

TYPE
  Day = (Mon, Tue, Wed, Thu, Fri, Sat, Sun);
  Colour = (Red, Green, Blue);

VAR
  d: Day;
  c: Colour;
  count: CARDINAL;

PROCEDURE WriteDay(d: Day);
BEGIN
  CASE d OF
    Mon: WriteString("Mon")
  | Tue: WriteString("Tue")
  | Wed: WriteString("Wed")
  | Thu: WriteString("Thu")
  | Fri: WriteString("Fri")
  | Sat, Sun: WriteString("Weekend")
  END
END WriteDay;

BEGIN
  FOR d := Mon TO Sun DO
    WriteDay(d); WriteCard(ORD(d), 2); WriteString(" ")
  END;
  WriteLn;
  d := VAL(Day, 3); WriteDay(d); WriteLn;
  INC(d); WriteDay(d); INC(d, 2); WriteDay(d); DEC(d, 6); WriteDay(d); WriteLn;
  WriteDay(MIN(Day)); WriteString(" .. "); WriteDay(MAX(Day)); WriteLn;
  count := 0;
  FOR c := MAX(Colour) TO MIN(Colour) BY -1 DO INC(count, ORD(c) + 1) END;
  WriteCard(count, 3); WriteLn;
  IF (Tue < Wed) & (Sun > Sat) & (Red # Blue) THEN WriteString("ordered") END;
  WriteLn
END enums.
