MODULE arguments;
(* gm2-skip: gm2's argument 0 is the path of the executable, and its GetArg cuts an
   argument to the array and says TRUE *)
(* The program's arguments (module Args, as GNU Modula-2 has it): argument 0 is the
   program's name, Narg counts it. An argument that does not fit the array is not taken
   cut short: GetArg says FALSE. The test runs it with arguments too. *)
FROM Args IMPORT Narg, GetArg;
FROM InOut IMPORT WriteString, WriteCard, WriteLn;
VAR i: CARDINAL; a: ARRAY [0..79] OF CHAR; small: ARRAY [0..3] OF CHAR;
BEGIN
  WriteString("arguments: "); WriteCard(Narg(), 1); WriteLn;
  FOR i := 0 TO Narg() - 1 DO
    IF GetArg(a, i) THEN WriteCard(i, 1); WriteString(" ["); WriteString(a); WriteString("]"); WriteLn END
  END;
  IF GetArg(a, Narg()) THEN WriteString("one too many") ELSE WriteString("none beyond") END;
  WriteLn;
  IF GetArg(small, 0) THEN WriteString("fits") ELSE WriteString("does not fit: "); WriteString(small) END;
  WriteLn
END arguments.
