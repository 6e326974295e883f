MODULE trap_return;
(* expect-trap: 13: Function return error. *)
(* A function procedure that reaches its end without RETURN. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;

VAR i: INTEGER;

PROCEDURE Sign(x: INTEGER): INTEGER;
BEGIN
  IF x > 0 THEN RETURN 1
  ELSIF x < 0 THEN RETURN -1
  END
END Sign;

BEGIN
  FOR i := 2 TO -2 BY -2 DO WriteInt(Sign(i), 3); WriteLn END
END trap_return.
