MODULE language [2];
(* Every area of the language the front end checks, in one module: it need not do
   anything useful, only be correct Modula-2. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteLn, Write;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;
IMPORT SYSTEM;
FROM SYSTEM IMPORT ADDRESS, WORD, BYTE, ADR, TSIZE;

CONST
  N = 10; Half = N DIV 2; Pi = 3.14159; Big = 1.0E10; Name = 'two "quotes"';
  Mask = BITSET{0, 2..4}; Neg = -N; Ch = 101C; Oct = 777B;
  Both = (N > 5) AND NOT (N = 3); Size = SIZE(INTEGER) * 2;

TYPE
  Color = (red, green, blue, yellow);
  Warm = [red..green];
  Digit = ["0".."9"];
  Index = [1..N];
  Vector = ARRAY Index OF REAL;
  Grid = ARRAY Color, BOOLEAN OF CHAR;
  CharSet = SET OF CHAR;
  Shape = (circle, square, poly);
  Figure = RECORD
    name: ARRAY [0..15] OF CHAR;
    CASE kind: Shape OF
      circle: radius: REAL
    | square: side: LONGINT
    | poly: corners: CARDINAL; closed: BOOLEAN
    END;
    CASE : BOOLEAN OF TRUE: extra: CHAR ELSE END
  END;
  Tree = POINTER TO Node;          (* Node is declared after its pointer *)
  Node = RECORD key: INTEGER; left, right: Tree END;
  Visit = PROCEDURE (Tree, VAR INTEGER);
  Compare = PROCEDURE (INTEGER, INTEGER): BOOLEAN;
  Big64 = LONGINT;

CONST Letters = CharSet{"a".."z"};

VAR
  v: Vector; g: Grid; cs: CharSet; f: Figure; root: Tree; c: Color; w: Warm;
  i, j: INTEGER; k: CARDINAL; l: Big64; lc: LONGCARD; r: REAL; lr: LONGREAL;
  ch: CHAR; b: BOOLEAN; a: ADDRESS; bits: BITSET; visit: Visit; less: Compare;
  text: ARRAY [0..31] OF CHAR; d: Digit; word: WORD; byte: BYTE;

MODULE Counter;                     (* a local module with a qualified export *)
  IMPORT WriteString;
  EXPORT QUALIFIED Next, count;
  VAR count: CARDINAL;
  PROCEDURE Next(): CARDINAL;
  BEGIN INC(count); RETURN count END Next;
BEGIN count := 0
END Counter;

PROCEDURE Insert(VAR t: Tree; key: INTEGER);
BEGIN
  IF t = NIL THEN
    NEW(t); t^.key := key; t^.left := NIL; t^.right := NIL
  ELSIF key < t^.key THEN Insert(t^.left, key)
  ELSE Insert(t^.right, key)
  END
END Insert;

PROCEDURE Walk(t: Tree; p: Visit; VAR n: INTEGER);
BEGIN
  IF t # NIL THEN Walk(t^.left, p, n); p(t, n); Walk(t^.right, p, n) END
END Walk;

PROCEDURE Count(t: Tree; VAR n: INTEGER);
BEGIN INC(n, t^.key)
END Count;

PROCEDURE Less(x, y: INTEGER): BOOLEAN;
BEGIN RETURN x < y
END Less;

PROCEDURE Sum(a: ARRAY OF REAL): REAL;
  VAR s: REAL; i: CARDINAL;
BEGIN
  s := 0.0;
  FOR i := 0 TO HIGH(a) DO s := s + a[i] END;
  RETURN s
END Sum;

PROCEDURE Fill(VAR s: ARRAY OF CHAR; c: CHAR);
  VAR i: CARDINAL;
BEGIN
  i := 0;
  WHILE i <= HIGH(s) DO s[i] := c; INC(i) END
END Fill;

PROCEDURE Bytes(VAR x: ARRAY OF BYTE): CARDINAL;
BEGIN RETURN HIGH(x) + 1
END Bytes;

PROCEDURE Outer(n: INTEGER): INTEGER;
  VAR total: INTEGER;
  PROCEDURE Middle(m: INTEGER);
    PROCEDURE Inner;
    BEGIN total := total + m + n
    END Inner;
  BEGIN Inner; IF m > 0 THEN Middle(m - 1) END
  END Middle;
  MODULE Local;                     (* a local module inside a procedure *)
    IMPORT total;
    EXPORT Reset;
    PROCEDURE Reset; BEGIN total := 0 END Reset;
  BEGIN Reset
  END Local;
BEGIN
  Middle(n); RETURN total
END Outer;

PROCEDURE Classify(c: CHAR): INTEGER;
BEGIN
  CASE c OF
    "0".."9": RETURN 1
  | "a".."z", "A".."Z": RETURN 2
  | " ", 11C, 15C: RETURN 3
  ELSE RETURN 0
  END
END Classify;

BEGIN
  FOR i := 1 TO N DO v[i] := FLOAT(i) * Pi END;
  r := Sum(v); lr := r; r := lr;
  FOR c := red TO yellow DO g[c, FALSE] := "x"; g[c][TRUE] := CHR(ORD(c) + ORD("0")) END;
  c := MAX(Color); DEC(c); INC(c, 1); w := red; c := w;
  cs := CharSet{"a", "e".."i"} + Letters; INCL(cs, "#"); EXCL(cs, "a");
  b := ("e" IN cs) OR ("1" IN cs);
  bits := Mask * {1..3}; bits := bits + BITSET(0FH); k := CARDINAL(bits);
  WITH f DO
    name := "circle"; kind := circle; radius := 2.5;
    IF kind = circle THEN r := radius * radius * Pi END
  END;
  f.kind := square; f.side := MAX(LONGINT) DIV 2;
  root := NIL;
  FOR i := 10 TO 1 BY -3 DO Insert(root, i * 7 MOD 11) END;
  visit := Count; j := 0; Walk(root, visit, j);
  less := Less; b := less(1, 2);
  IF (root # NIL) & (root^.left # NIL) THEN WITH root^ DO WITH left^ DO INC(key) END END END;
  l := VAL(LONGINT, i) * 100000;
  lc := 0FFFFFFFFFFFFH; lc := lc DIV 2 + VAL(LONGCARD, k);
  i := TRUNC(r); k := TRUNC(Big / 1.0E5);
  i := ABS(Neg) + Half; i := -i; i := i MOD 7 - i DIV 3;
  ch := CAP("q"); ch := Ch; d := "7"; k := ORD(d) - ORD("0");
  text := Name; Fill(text, "-"); text := "short"; WriteString(text);
  k := Bytes(text) + Bytes(l) + Counter.Next() + Counter.count;
  a := ADR(text); a := a + 4; a := ADDRESS(root); root := a;
  k := TSIZE(Node) + SIZE(f) + Size + Oct;
  word := WORD(k); byte := BYTE(ch); k := CARDINAL(word);
  i := Outer(3); i := Classify("q");
  REPEAT DEC(i) UNTIL i <= 0;
  LOOP INC(i); IF i > 3 THEN EXIT END END;
  IF Both THEN WriteInt(i, 0) ELSE WriteCard(k, 0) END;
  Write(ch); WriteLn;
  DISPOSE(root);
  IF i > 100 THEN HALT END;
  RETURN
END language.
