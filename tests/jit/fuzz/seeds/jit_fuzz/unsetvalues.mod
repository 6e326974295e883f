MODULE UnsetValues;
(* Pointers and procedure values of the module, some never assigned: a call of one that
   holds no procedure and a pointer that holds no address end the run at their lines. *)
TYPE
  R = RECORD a, b: INTEGER END;
  P = POINTER TO R;
  F = PROCEDURE (INTEGER): R;
VAR r: R; p, q: P; f, g: F; i: INTEGER;

PROCEDURE Make(x: INTEGER): R;
VAR t: R;
BEGIN t.a := x; t.b := 2 * x; RETURN t END Make;

BEGIN
  g := Make;
  r := g(21);
  IF r.a > 100 THEN i := q^.a END;
  r := f(21);
  i := p^.b
END UnsetValues.
