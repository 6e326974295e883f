MODULE error_endname;
(* expect-error: 7:5: END Bar expected *)
FROM InOut IMPORT WriteLn;

PROCEDURE Bar;
BEGIN WriteLn
END Baz;

BEGIN
  Bar
END error_endname.
