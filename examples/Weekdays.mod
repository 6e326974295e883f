MODULE Weekdays;
(* Enumerations and sets: the days of a week as an enumeration, sets of days for the
   days someone works and the days the shop opens, and what the set operations make
   of them. *)

FROM InOut IMPORT WriteString, WriteCard, WriteLn;

TYPE
  Day = (Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday);
  Days = SET OF Day;

VAR
  work, open, both: Days;
  d: Day;

PROCEDURE WriteDay(d: Day);
BEGIN
  CASE d OF
    Monday: WriteString("Mo") | Tuesday: WriteString("Tu") | Wednesday: WriteString("We")
  | Thursday: WriteString("Th") | Friday: WriteString("Fr") | Saturday: WriteString("Sa")
  | Sunday: WriteString("Su")
  END
END WriteDay;

PROCEDURE WriteDays(label: ARRAY OF CHAR; s: Days);
VAR d: Day;
BEGIN
  WriteString(label); WriteString(" {");
  FOR d := Monday TO Sunday DO
    IF d IN s THEN WriteString(" "); WriteDay(d) END
  END;
  WriteString(" }"); WriteLn
END WriteDays;

BEGIN
  work := Days{Monday .. Friday};
  EXCL(work, Wednesday);
  open := Days{Tuesday .. Saturday};
  WriteDays("works      ", work);
  WriteDays("shop open  ", open);
  WriteDays("both       ", work * open);
  WriteDays("either     ", work + open);
  WriteDays("works only ", work - open);
  WriteDays("one of them", work / open);
  both := work * open;
  INCL(both, Sunday);
  WriteDays("both+Sunday", both);
  WriteString("Days off:");
  FOR d := MIN(Day) TO MAX(Day) DO
    IF NOT (d IN work) THEN WriteString(" "); WriteDay(d) END
  END;
  WriteLn;
  IF Days{Saturday, Sunday} <= open THEN WriteString("Open every weekend day.")
  ELSE WriteString("Closed on some weekend day.")
  END;
  WriteLn;
  WriteString("Thursday is day"); WriteCard(ORD(Thursday) + 1, 2); WriteString(" of the week."); WriteLn
END Weekdays.
