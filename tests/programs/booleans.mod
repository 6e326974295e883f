MODULE booleans;
(* BOOLEAN values and operators; AND and OR evaluate their right operand only when
   needed. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;

VAR
  a, b: BOOLEAN;
  calls: CARDINAL;

PROCEDURE Touch(result: BOOLEAN): BOOLEAN;
BEGIN
  INC(calls);
  RETURN result
END Touch;

PROCEDURE Say(b: BOOLEAN);
BEGIN
  IF b THEN WriteString(" T") ELSE WriteString(" F") END
END Say;

BEGIN
  FOR a := FALSE TO TRUE DO
    FOR b := FALSE TO TRUE DO
      Say(a AND b); Say(a & b); Say(a OR b); Say(NOT a); Say(~b); Say(a = b); Say(a # b); Say(a <> b);
      WriteLn
    END
  END;
  calls := 0;
  a := FALSE AND Touch(TRUE);
  a := TRUE OR Touch(FALSE);
  a := Touch(TRUE) & Touch(FALSE);
  a := Touch(FALSE) OR Touch(TRUE);
  WriteCard(calls, 2); WriteLn;
  Say(FALSE < TRUE); Say(ORD(TRUE) = 1); Say(VAL(BOOLEAN, 0)); Say(MAX(BOOLEAN));
  WriteLn
END booleans.
