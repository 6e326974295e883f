MODULE error_transfer;
(* expect-error: 8:8: type transfer needs types of the same size: Pair(INTEGER) *)
TYPE Pair = RECORD lo, hi: INTEGER END;
VAR
  p: Pair;
  i: INTEGER;
BEGIN
  p := Pair(i)
END error_transfer.
