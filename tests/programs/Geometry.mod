IMPLEMENTATION MODULE Geometry;
PROCEDURE Make(x, y: INTEGER): Point;
VAR p: Point;
BEGIN p.x := x; p.y := y; RETURN p END Make;
PROCEDURE Add(a, b: Point): Point;
BEGIN RETURN Make(a.x + b.x, a.y + b.y) END Add;
BEGIN origin := Make(0, 0)
END Geometry.
