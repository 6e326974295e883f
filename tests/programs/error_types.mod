MODULE error_types;
(* expect-error: 8:8: type mismatch: INTEGER := BOOLEAN *)
VAR
  i: INTEGER;
  b: BOOLEAN;
BEGIN
  b := TRUE;
  i := b
END error_types.
