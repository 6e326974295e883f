MODULE shapes;
(* Records returned by the functions of another module, called directly and through a
   procedure variable; its variable set by such a call in its body. *)
FROM InOut IMPORT WriteInt, WriteLn;
IMPORT Geometry;

VAR
  p: Geometry.Point;
  m: Geometry.Maker;

BEGIN
  p := Geometry.Add(Geometry.Make(1, 2), Geometry.Make(10, 20));
  WriteInt(p.x, 4); WriteInt(p.y, 4); WriteLn;
  m := Geometry.Make;
  p := Geometry.Add(m(5, 6), Geometry.origin);
  WriteInt(p.x, 4); WriteInt(p.y, 4); WriteLn
END shapes.
