MODULE Temperature;
(* A dialog: drag the Celsius number up or down with the mouse (or double-click it and
   type a value) and the Fahrenheit number follows. Done (or RETURN) ends the program, as
   does the window's close box or ten seconds without an action. The dialog is not
   closed here: a program's dialogs close when its run ends. *)

IMPORT Dialog;
FROM SYSTEM IMPORT ADR;
FROM TextIO IMPORT WriteString, WriteFixed, WriteLn;

CONST
  DoneItem = 1; CelsiusLabel = 2; CelsiusItem = 3; FahrenheitLabel = 4; FahrenheitItem = 5;
  Items = 5;
  IdleLimit = 10000;   (* milliseconds *)

VAR
  d: Dialog.Handle;
  celsius, fahrenheit: REAL;
  done: BOOLEAN;
  last: CARDINAL;

(* Called by the dialog after the user changed an item. *)
PROCEDURE Changed(item: INTEGER);
BEGIN
  IF item = CelsiusItem THEN
    fahrenheit := celsius * 9.0 / 5.0 + 32.0;
    Dialog.Redraw(d, FahrenheitItem)
  END
END Changed;

PROCEDURE Layout;
BEGIN
  Dialog.DefineItem(d, CelsiusLabel, Dialog.Text, "", FALSE, "Celsius", 10, 30, 80, 16);
  Dialog.DefineItem(d, CelsiusItem, Dialog.Drag, "celsius", TRUE, "", 100, 30, 80, 18);
  Dialog.BindValue(d, CelsiusItem, ADR(celsius), Dialog.RealValue);
  Dialog.SetNumber(d, CelsiusItem, " C", Dialog.FixedFormat, Dialog.RealValue, 6, 1,
                   0.5, -50.0, 150.0, 1.0, FALSE, 0);
  Dialog.DefineItem(d, FahrenheitLabel, Dialog.Text, "", FALSE, "Fahrenheit", 10, 60, 80, 16);
  Dialog.DefineItem(d, FahrenheitItem, Dialog.FramedNumber, "fahrenheit", FALSE, "",
                    100, 60, 80, 18);
  Dialog.BindValue(d, FahrenheitItem, ADR(fahrenheit), Dialog.RealValue);
  Dialog.SetNumber(d, FahrenheitItem, " F", Dialog.FixedFormat, Dialog.RealValue, 6, 1,
                   0.0, 0.0, 0.0, 1.0, FALSE, 0);
  Dialog.DefineItem(d, DoneItem, Dialog.Button, "done", TRUE, "Done", 100, 96, 80, 22);
  Dialog.BindValue(d, DoneItem, ADR(done), Dialog.BooleanValue);
  Dialog.SetItemKey(d, DoneItem, Dialog.KeyCharacter, 15C, 0, FALSE, TRUE)
END Layout;

BEGIN
  celsius := 20.0; fahrenheit := 68.0; done := FALSE;
  IF Dialog.Init(d, FALSE, FALSE, "Temperature", "Temperature", Dialog.SansFont, 10, Items,
                 40, 150, 200, 110, 1) THEN
    Dialog.SetProcs(d, NIL, Changed, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, "T");
    IF Dialog.Open(d, Dialog.DocumentWindow, Layout, NIL, FALSE, TRUE, TRUE, FALSE, FALSE) THEN
      last := Dialog.Ticks();
      REPEAT
        IF Dialog.Poll(100) THEN last := Dialog.Ticks() END
      UNTIL done OR NOT Dialog.Shown(d) OR (Dialog.Ticks() - last > IdleLimit);
      WriteFixed(celsius, 6, 1); WriteString(" C is"); WriteFixed(fahrenheit, 6, 1);
      WriteString(" F"); WriteLn
    END
  END
END Temperature.
