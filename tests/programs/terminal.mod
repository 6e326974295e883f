MODULE terminal;
(* Terminal: characters and strings written, a line end by WriteLn. *)
FROM Terminal IMPORT Write, WriteString, WriteLn;

VAR ch: CHAR;

BEGIN
  WriteString("Terminal output"); WriteLn;
  FOR ch := "0" TO "9" DO Write(ch) END;
  WriteLn;
  WriteString(""); Write("."); WriteLn
END terminal.
