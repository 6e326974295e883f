MODULE Planets;
(* Records and pointers: each planet is a record made with NEW and kept in a list
   sorted by its distance from the sun; the list is written, searched, and given back
   with DISPOSE. *)

FROM Storage IMPORT ALLOCATE, DEALLOCATE;
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM TextIO IMPORT WriteFixed;

TYPE
  Name = ARRAY [0 .. 15] OF CHAR;
  Planet = POINTER TO PlanetRecord;
  PlanetRecord = RECORD
    name: Name;
    distance: REAL;   (* from the sun, in astronomical units *)
    moons: INTEGER;
    next: Planet
  END;

VAR
  first: Planet;

(* Puts a new planet into the list before the first one farther out. *)
PROCEDURE Add(name: Name; distance: REAL; moons: INTEGER);
VAR p, before, after: Planet;
BEGIN
  NEW(p);
  p^.name := name; p^.distance := distance; p^.moons := moons;
  before := NIL; after := first;
  WHILE (after # NIL) AND (after^.distance < distance) DO
    before := after; after := after^.next
  END;
  p^.next := after;
  IF before = NIL THEN first := p ELSE before^.next := p END
END Add;

PROCEDURE WriteAll;
VAR p: Planet;
BEGIN
  p := first;
  WHILE p # NIL DO
    WriteString(p^.name); WriteFixed(p^.distance, 8, 3); WriteInt(p^.moons, 5); WriteLn;
    p := p^.next
  END
END WriteAll;

(* The first planet with at least n moons, or NIL. *)
PROCEDURE WithMoons(n: INTEGER): Planet;
VAR p: Planet;
BEGIN
  p := first;
  WHILE (p # NIL) AND (p^.moons < n) DO p := p^.next END;
  RETURN p
END WithMoons;

PROCEDURE DisposeAll;
VAR p: Planet;
BEGIN
  WHILE first # NIL DO
    p := first; first := first^.next; DISPOSE(p)
  END
END DisposeAll;

VAR found: Planet;

BEGIN
  first := NIL;
  Add("Mars    ", 1.524, 2);
  Add("Earth   ", 1.0, 1);
  Add("Jupiter ", 5.203, 95);
  Add("Mercury ", 0.387, 0);
  Add("Venus   ", 0.723, 0);
  WriteAll;
  found := WithMoons(2);
  IF found # NIL THEN
    WriteString("The first with two moons or more: "); WriteString(found^.name); WriteLn
  END;
  DisposeAll;
  IF first = NIL THEN WriteString("All given back."); WriteLn END
END Planets.
