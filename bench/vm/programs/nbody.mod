MODULE nbody;
(* The five planets of the n-body benchmark advanced 200000 steps of 0.01; the checksum
   is the energy after the run in units of 1E-9, rounded down. *)
FROM InOut IMPORT WriteString, WriteInt, WriteLn;
FROM MathLib0 IMPORT sqrt, entier;

CONST
  Bodies = 5;
  Steps = 200000;
  Pi = 3.141592653589793;
  SolarMass = 4.0 * Pi * Pi;
  DaysPerYear = 365.24;

TYPE Body = RECORD x, y, z, vx, vy, vz, mass: REAL END;

VAR
  b: ARRAY [1 .. Bodies] OF Body;
  step: INTEGER;

PROCEDURE Set(VAR p: Body; x, y, z, vx, vy, vz, mass: REAL);
BEGIN
  p.x := x; p.y := y; p.z := z;
  p.vx := vx * DaysPerYear; p.vy := vy * DaysPerYear; p.vz := vz * DaysPerYear;
  p.mass := mass * SolarMass
END Set;

PROCEDURE Offset;
VAR px, py, pz: REAL; i: INTEGER;
BEGIN
  px := 0.0; py := 0.0; pz := 0.0;
  FOR i := 1 TO Bodies DO
    px := px + b[i].vx * b[i].mass; py := py + b[i].vy * b[i].mass; pz := pz + b[i].vz * b[i].mass
  END;
  b[1].vx := -px / SolarMass; b[1].vy := -py / SolarMass; b[1].vz := -pz / SolarMass
END Offset;

PROCEDURE Energy(): REAL;
VAR e, dx, dy, dz: REAL; i, j: INTEGER;
BEGIN
  e := 0.0;
  FOR i := 1 TO Bodies DO
    e := e + 0.5 * b[i].mass * (b[i].vx * b[i].vx + b[i].vy * b[i].vy + b[i].vz * b[i].vz);
    FOR j := i + 1 TO Bodies DO
      dx := b[i].x - b[j].x; dy := b[i].y - b[j].y; dz := b[i].z - b[j].z;
      e := e - b[i].mass * b[j].mass / sqrt(dx * dx + dy * dy + dz * dz)
    END
  END;
  RETURN e
END Energy;

PROCEDURE Advance(dt: REAL);
VAR dx, dy, dz, d2, mag: REAL; i, j: INTEGER;
BEGIN
  FOR i := 1 TO Bodies DO
    FOR j := i + 1 TO Bodies DO
      dx := b[i].x - b[j].x; dy := b[i].y - b[j].y; dz := b[i].z - b[j].z;
      d2 := dx * dx + dy * dy + dz * dz;
      mag := dt / (d2 * sqrt(d2));
      b[i].vx := b[i].vx - dx * b[j].mass * mag;
      b[i].vy := b[i].vy - dy * b[j].mass * mag;
      b[i].vz := b[i].vz - dz * b[j].mass * mag;
      b[j].vx := b[j].vx + dx * b[i].mass * mag;
      b[j].vy := b[j].vy + dy * b[i].mass * mag;
      b[j].vz := b[j].vz + dz * b[i].mass * mag
    END
  END;
  FOR i := 1 TO Bodies DO
    b[i].x := b[i].x + dt * b[i].vx; b[i].y := b[i].y + dt * b[i].vy; b[i].z := b[i].z + dt * b[i].vz
  END
END Advance;

BEGIN
  Set(b[1], 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
  Set(b[2], 4.84143144246472090E+00, -1.16032004402742839E+00, -1.03622044471123109E-01,
      1.66007664274403694E-03, 7.69901118419740425E-03, -6.90460016972063023E-05,
      9.54791938424326609E-04);
  Set(b[3], 8.34336671824457987E+00, 4.12479856412430479E+00, -4.03523417114321381E-01,
      -2.76742510726862411E-03, 4.99852801234917238E-03, 2.30417297573763929E-05,
      2.85885980666130812E-04);
  Set(b[4], 1.28943695621391310E+01, -1.51111514016986312E+01, -2.23307578892655734E-01,
      2.96460137564761618E-03, 2.37847173959480950E-03, -2.96589568540237556E-05,
      4.36624404335156298E-05);
  Set(b[5], 1.53796971148509165E+01, -2.59193146099879641E+01, 1.79258772950371181E-01,
      2.68067772490389322E-03, 1.62824170038242295E-03, -9.51592254519715870E-05,
      5.15138902046611451E-05);
  Offset;
  FOR step := 1 TO Steps DO Advance(0.01) END;
  WriteString("checksum "); WriteInt(entier(Energy() * 1.0E9), 1); WriteLn
END nbody.
