MODULE constrelations;
(* gm2-skip: gm2 cannot compile constant expressions of type BOOLEAN *)
(* Constant expressions of type BOOLEAN: relations, IN, NOT, AND, OR. *)
FROM InOut IMPORT WriteString, WriteLn;

CONST
  Ten = 10;
  Yes = Ten > 5;
  No = NOT Yes OR (Ten = 11);
  Both = Yes & (3 IN {1 .. 4});
  Letters = ("a" < "b") AND ("Z" # "z");

PROCEDURE Say(b: BOOLEAN);
BEGIN
  IF b THEN WriteString("TRUE ") ELSE WriteString("FALSE ") END
END Say;

BEGIN
  Say(Yes); Say(No); Say(Both); Say(Letters); WriteLn
END constrelations.
