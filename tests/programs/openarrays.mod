MODULE openarrays;
(* Open array parameters: HIGH, value and VAR open arrays, strings and arrays of
   several sizes passed to one procedure. *)
FROM InOut IMPORT Write, WriteString, WriteInt, WriteCard, WriteLn;

VAR
  small: ARRAY [0 .. 2] OF INTEGER;
  large: ARRAY [1 .. 10] OF INTEGER;
  name: ARRAY [0 .. 19] OF CHAR;
  i: INTEGER;

PROCEDURE Sum(a: ARRAY OF INTEGER): INTEGER;
VAR i: CARDINAL; s: INTEGER;
BEGIN
  s := 0;
  FOR i := 0 TO HIGH(a) DO s := s + a[i] END;
  RETURN s
END Sum;

PROCEDURE High(a: ARRAY OF INTEGER): CARDINAL;
BEGIN
  RETURN HIGH(a)
END High;

PROCEDURE Fill(VAR a: ARRAY OF INTEGER; value: INTEGER);
VAR i: CARDINAL;
BEGIN
  FOR i := 0 TO HIGH(a) DO a[i] := value + VAL(INTEGER, i) END
END Fill;

PROCEDURE Length(s: ARRAY OF CHAR): CARDINAL;
VAR n: CARDINAL;
BEGIN
  n := 0;
  WHILE (n <= HIGH(s)) & (s[n] # 0C) DO INC(n) END;
  RETURN n
END Length;

PROCEDURE Reverse(VAR s: ARRAY OF CHAR);
VAR i, j: CARDINAL; c: CHAR;
BEGIN
  j := Length(s);
  i := 0;
  WHILE i + 1 < j DO
    DEC(j);
    c := s[i]; s[i] := s[j]; s[j] := c;
    INC(i)
  END
END Reverse;

BEGIN
  Fill(small, 10);
  Fill(large, -3);
  WriteCard(High(small), 3); WriteCard(High(large), 3); WriteLn;
  WriteInt(Sum(small), 5); WriteInt(Sum(large), 5); WriteLn;
  WriteCard(Length("hello"), 3); WriteCard(Length(""), 3); WriteCard(Length("x"), 3); WriteLn;
  name := "open arrays";
  WriteCard(Length(name), 3); WriteCard(HIGH(name), 3); WriteLn;
  Reverse(name);
  WriteString(name); WriteLn;
  FOR i := 1 TO 10 DO large[i] := i END;
  WriteInt(Sum(large), 5); WriteLn
END openarrays.
