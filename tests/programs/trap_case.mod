MODULE trap_case;
(* expect-trap: 10: Case error. *)
(* A CASE without ELSE meets a value none of its labels names. *)
FROM InOut IMPORT WriteString, WriteLn;

VAR i: INTEGER;

PROCEDURE Name(i: INTEGER);
BEGIN
  CASE i OF
    1: WriteString("one")
  | 2, 3: WriteString("two or three")
  | 5 .. 7: WriteString("five to seven")
  END;
  WriteLn
END Name;

BEGIN
  FOR i := 1 TO 7 DO Name(i) END
END trap_case.
