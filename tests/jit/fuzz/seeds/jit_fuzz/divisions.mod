MODULE Divisions;
(* DIV and MOD of every whole type with negative dividends and divisors, at the ends of
   the ranges, and in procedures that call each other with the results as arguments. *)
VAR i, j, q, r: INTEGER; lx, ly, lq, lr: LONGINT; c, d, cq: CARDINAL; lc, ld, lcq: LONGCARD;

PROCEDURE Mod(x, y: INTEGER): INTEGER;
BEGIN IF y = 0 THEN RETURN x END; RETURN x DIV y + Mod(y, x MOD y) END Mod;

BEGIN
  q := 0; r := 0;
  FOR i := -9 TO 9 DO
    FOR j := -4 TO 4 DO
      IF j # 0 THEN q := q + i DIV j; r := r + i MOD j + Mod(i, j) END
    END
  END;
  i := MIN(INTEGER); q := q + i DIV 3 + i MOD 7;
  lx := MIN(LONGINT) + 1; ly := -1; lq := lx DIV ly; lr := lx MOD ly;
  lx := -1000000000000; ly := 7; lq := lq + lx DIV ly; lr := lr + lx MOD ly;
  c := MAX(CARDINAL); d := 10; cq := c DIV d + c MOD d;
  lc := MAX(LONGCARD); ld := 3; lcq := lc DIV ld + lc MOD ld;
  i := MIN(INTEGER); j := -1; q := i DIV j
END Divisions.
