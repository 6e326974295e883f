MODULE formats;
(* gm2-skip: gm2 writes reals in fixed notation and hexadecimal digits in lower case *)
(* The output formats of InOut and RealInOut: fields right-aligned and widened to fit,
   hexadecimal with capital letters, reals in scientific notation with as many digits as
   the field holds (at least one after the point). *)
FROM InOut IMPORT WriteString, WriteInt, WriteCard, WriteHex, WriteOct, Write, WriteLn;
FROM RealInOut IMPORT WriteReal;

BEGIN
  Write("["); WriteInt(-5, 1); WriteInt(42, 5); WriteInt(0, 0); WriteInt(MIN(INTEGER), 3); Write("]"); WriteLn;
  Write("["); WriteCard(0, 3); WriteCard(MAX(CARDINAL), 0); Write("]"); WriteLn;
  Write("["); WriteHex(255, 0); WriteHex(255, 4); WriteHex(0DEADBEEFH, 9); WriteHex(0, 2); Write("]"); WriteLn;
  Write("["); WriteOct(8, 0); WriteOct(511, 5); Write("]"); WriteLn;
  Write("["); WriteReal(3.14159, 12); Write("]"); WriteLn;
  Write("["); WriteReal(3.14159, 15); Write("]"); WriteLn;
  Write("["); WriteReal(-150.0, 10); Write("]"); WriteLn;
  Write("["); WriteReal(0.001, 0); Write("]"); WriteLn;
  Write("["); WriteReal(1.0E100, 14); Write("]"); WriteLn;
  Write("["); WriteReal(0.0, 9); Write("]"); WriteLn;
  Write("["); WriteReal(2.0 / 3.0, 30); Write("]"); WriteLn
END formats.
