MODULE readreals;
(* RealInOut.ReadReal: a count, then that many reals, summed and shown as a scaled
   integer; a word that is no number leaves Done FALSE. *)
FROM RealInOut IMPORT ReadReal, Done;
FROM InOut IMPORT ReadCard, WriteString, WriteCard, WriteLn;

VAR
  x, sum: REAL;
  i, n: CARDINAL;

BEGIN
  ReadCard(n);
  sum := 0.0;
  FOR i := 1 TO n DO
    ReadReal(x);
    IF Done THEN sum := sum + x END
  END;
  WriteCard(n, 3); WriteCard(TRUNC(sum * 100.0 + 0.5), 8); WriteLn;
  ReadReal(x);
  IF NOT Done THEN WriteString("not a number") END;
  WriteLn
END readreals.
