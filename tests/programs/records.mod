MODULE records;
(* Records, nested records, variant parts with a tag field and without one, WITH. *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, Write, WriteLn;

TYPE
  Kind = (Circle, Rect, Label);
  Shape = RECORD
    x, y: INTEGER;
    CASE kind: Kind OF
      Circle: radius: CARDINAL
    | Rect: width, height: CARDINAL
    | Label: text: ARRAY [0 .. 7] OF CHAR
    END
  END;
  Pair = RECORD
    CASE : BOOLEAN OF
      TRUE: i: INTEGER
    | FALSE: c: CARDINAL
    END
  END;
  Person = RECORD
    name: ARRAY [0 .. 9] OF CHAR;
    born: RECORD day, month, year: CARDINAL END
  END;

VAR
  shapes: ARRAY [1 .. 3] OF Shape;
  p: Person;
  pair: Pair;
  i: CARDINAL;

PROCEDURE Area(VAR s: Shape): CARDINAL;
BEGIN
  WITH s DO
    CASE kind OF
      Circle: RETURN 3 * radius * radius
    | Rect: RETURN width * height
    | Label: RETURN 0
    END
  END
END Area;

BEGIN
  shapes[1].kind := Circle; shapes[1].radius := 10;
  WITH shapes[2] DO kind := Rect; width := 4; height := 5; x := -1; y := 2 END;
  WITH shapes[3] DO kind := Label; text := "label" END;
  FOR i := 1 TO 3 DO WriteCard(Area(shapes[i]), 5) END;
  WriteLn;
  WriteInt(shapes[2].x, 3); WriteInt(shapes[2].y, 3); WriteString(" "); WriteString(shapes[3].text); WriteLn;
  p.name := "Ada";
  WITH p DO
    WITH born DO day := 10; month := 12; year := 1815 END
  END;
  WriteString(p.name); WriteCard(p.born.day, 3); WriteCard(p.born.month, 3); WriteCard(p.born.year, 5); WriteLn;
  pair.i := 1234;
  WriteInt(pair.i, 5); WriteLn
END records.
