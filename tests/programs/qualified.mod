MODULE qualified;
(* Whole modules imported and used with qualified names, beside FROM imports. *)
IMPORT InOut, MathLib0;
FROM InOut IMPORT WriteLn;

BEGIN
  InOut.WriteString("qualified");
  InOut.Write(" ");
  InOut.WriteInt(MathLib0.entier(2.75), 1);
  InOut.WriteCard(TRUNC(MathLib0.sqrt(144.0)), 4);
  WriteLn;
  IF InOut.EOL # " " THEN InOut.WriteString("EOL is not a blank") END;
  WriteLn
END qualified.
