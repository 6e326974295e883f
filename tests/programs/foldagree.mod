MODULE foldagree;
(* gm2-skip: gm2 cannot compile constant expressions of type BOOLEAN *)
(* Every binary operator gives the same value folded at compile time as computed at run
   time: each line shows the constant, then the same expression on variables. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM RealInOut IMPORT WriteReal;

CONST
  DivPP = 7 DIV 2;        ModPP = 7 MOD 2;
  DivNP = (-7) DIV 2;     ModNP = (-7) MOD 2;
  Sum = 123 + (-45);      Diff = 123 - 456;      Prod = (-12) * 34;
  Quot = 7.5 / 2.5;       RSum = 1.25 + 0.5;     RProd = 1.5 * (-2.0);
  Less = 3 < 4;           LessEq = 4 <= 4;       Greater = (-3) > 2;
  GreaterEq = 2 >= 3;     Equal = 5 = 5;         Unequal = 5 # 5;
  RLess = 1.5 < 1.25;     CLess = "a" < "b";
  Union = {1, 3} + {2};   Inter = {1, 2, 3} * {2, 3, 4};
  Minus = {1, 2, 3} - {2};  Sym = {1, 2} / {2, 3};
  Subset = {1} <= {1, 2}; Superset = {1} >= {1, 2};
  SetEq = {1, 2} = {2, 1};

VAR
  i, j, k, n: INTEGER;
  x, y: REAL;
  a, b, c: CHAR;
  s, t, u: BITSET;

PROCEDURE Pair(name: ARRAY OF CHAR; folded, computed: INTEGER);
BEGIN
  WriteString(name); WriteInt(folded, 6); WriteInt(computed, 6); WriteLn
END Pair;

PROCEDURE Truth(name: ARRAY OF CHAR; folded, computed: BOOLEAN);
BEGIN
  WriteString(name); WriteInt(ORD(folded), 6); WriteInt(ORD(computed), 6); WriteLn
END Truth;

PROCEDURE Set(name: ARRAY OF CHAR; folded, computed: BITSET);
VAR e: CARDINAL;
BEGIN
  WriteString(name);
  FOR e := 0 TO 5 DO WriteInt(ORD(e IN folded), 2) END;
  WriteString(" |");
  FOR e := 0 TO 5 DO WriteInt(ORD(e IN computed), 2) END;
  WriteLn
END Set;

PROCEDURE Real(name: ARRAY OF CHAR; folded, computed: REAL);
BEGIN
  WriteString(name); WriteReal(folded, 12); WriteReal(computed, 12); WriteLn
END Real;

BEGIN
  i := 7; j := 2; k := -7; n := 123;
  Pair("7 DIV 2   ", DivPP, i DIV j);
  Pair("7 MOD 2   ", ModPP, i MOD j);
  Pair("-7 DIV 2  ", DivNP, k DIV j);
  Pair("-7 MOD 2  ", ModNP, k MOD j);
  Pair("sum       ", Sum, n + (-45));
  Pair("difference", Diff, n - 456);
  Pair("product   ", Prod, (-12) * (n - 89));
  x := 7.5; y := 2.5;
  Real("quotient  ", Quot, x / y);
  Real("real sum  ", RSum, (x - 6.25) + 0.5);
  Real("real prod ", RProd, (x - 6.0) * (-2.0));
  i := 3; j := 4;
  Truth("<         ", Less, i < j);
  Truth("<=        ", LessEq, j <= j);
  Truth(">         ", Greater, -i > 2);
  Truth(">=        ", GreaterEq, 2 >= i);
  Truth("=         ", Equal, i + 2 = 5);
  Truth("#         ", Unequal, i + 2 # 5);
  x := 1.5; y := 1.25;
  Truth("real <    ", RLess, x < y);
  a := "a"; b := "b";
  Truth("char <    ", CLess, a < b);
  s := {1, 3}; t := {2}; u := {1, 2, 3};
  Set("union     ", Union, s + t);
  Set("intersect ", Inter, u * {2, 3, 4});
  Set("difference", Minus, u - t);
  Set("symmetric ", Sym, {1, 2} / (t + {3}));
  s := {1};
  Truth("subset    ", Subset, s <= {1, 2});
  Truth("superset  ", Superset, s >= {1, 2});
  Truth("set =     ", SetEq, {1, 2} = u - {3})
END foldagree.
