MODULE Unset;
(* Module variables never assigned, summed and stepped in loops without calls: the first
   step overflows from the value the module's start filled them with. *)
CONST N = 6;
VAR a: ARRAY [1 .. N], [1 .. N] OF INTEGER;
  i, j, s, t: INTEGER; c: CARDINAL;

BEGIN
  FOR i := 1 TO N DO INC(c, 1000) END;
  FOR i := 1 TO N DO t := -t END;
  FOR i := 1 TO N DO
    FOR j := 1 TO N DO
      s := s + a[i, j]; j := j + 2
    END
  END
END Unset.
