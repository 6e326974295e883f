MODULE DampedSine;
(* Opens a graphics window, gives its plot area a world window, draws the axes and
   plots a damped sine wave with its envelope. *)

FROM Graphics IMPORT
  Window, Port, OpenWindow, WindowPort, NewViewport, SetWorld, DrawAxes, SetColor,
  SetMarkerKind, PlotTrace, TextAt, Blue, Gray, Black, Diamond;
FROM MathLib0 IMPORT sin, exp, real;
FROM InOut IMPORT WriteString, WriteLn;

CONST
  N = 600;          (* samples *)
  Seconds = 10.0;   (* the time they span *)
  Pi = 3.14159265358979;

VAR
  w: Window;
  plot: Port;
  wave, upper, lower: ARRAY [0 .. N - 1] OF REAL;
  i: INTEGER;
  t: REAL;

BEGIN
  w := OpenWindow("Damped sine", 40, 40, 600, 380);
  (* The plot area leaves room for the tick labels left of it and below it. *)
  plot := NewViewport(WindowPort(w), 60, 580, 20, 330, TRUE);
  SetWorld(0.0, -1.0, Seconds, 1.0);
  DrawAxes(TRUE);
  FOR i := 0 TO N - 1 DO
    t := Seconds * real(i) / real(N);
    upper[i] := exp(-0.3 * t);
    lower[i] := -upper[i];
    wave[i] := upper[i] * sin(2.0 * Pi * 0.8 * t)
  END;
  SetColor(Gray);
  PlotTrace(plot, 0.0, Seconds, upper, N, TRUE, FALSE);
  PlotTrace(plot, 0.0, Seconds, lower, N, TRUE, FALSE);
  SetColor(Blue);
  SetMarkerKind(Diamond);
  PlotTrace(plot, 0.0, Seconds, wave, N, TRUE, FALSE);
  SetColor(Black);
  TextAt(5.5, 0.8, "exp(-0.3 t) sin(1.6 pi t)");
  WriteString("Damped sine plotted."); WriteLn
END DampedSine.
