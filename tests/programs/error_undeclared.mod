MODULE error_undeclared;
(* expect-error: 9:3: undeclared identifier: Count *)
FROM InOut IMPORT WriteInt, WriteLn;

VAR count: INTEGER;

BEGIN
  count := 1;
  Count := count + 1;
  WriteInt(count, 3); WriteLn
END error_undeclared.
