MODULE error_noreturn;
(* expect-error: 7:1: function procedure without RETURN: Next *)
VAR n: INTEGER;
PROCEDURE Next(): INTEGER;
BEGIN
  INC(n)
END Next;
BEGIN
  n := Next()
END error_noreturn.
