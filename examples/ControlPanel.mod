MODULE ControlPanel;
(* A control panel: a switch, a check box, a number dragged with the mouse, an edit
   field and a list, bound to the program's variables. The loop below takes the user's
   actions and writes the values whenever one changed, until "Stop" is pressed (or
   RETURN), the window's close box is clicked, or nobody acted for a minute. *)

IMPORT Dialog, ToolTips;
FROM SYSTEM IMPORT ADR;
FROM TextIO IMPORT WriteString, WriteFixed, WriteInt, WriteLn;

CONST
  IdleLimit = 60000;   (* milliseconds without an action that end the program *)
  StopItem = 1; PumpItem = 2; LightItem = 3; GainLabel = 4; GainItem = 5;
  NameLabel = 6; NameItem = 7; ModeLabel = 8; ModeItem = 9; ResetItem = 10;
  Items = 10;

VAR
  panel: Dialog.Handle;
  stop, pump, light, reset: BOOLEAN;
  gain: REAL;
  name: ARRAY [0 .. 23] OF CHAR;
  mode: INTEGER;
  changed: BOOLEAN;
  last: CARDINAL;

PROCEDURE ItemChanged(item: INTEGER);
BEGIN
  changed := TRUE
END ItemChanged;

PROCEDURE Layout;
BEGIN
  Dialog.DefineItem(panel, StopItem, Dialog.Button, "stop", TRUE, "Stop", 200, 170, 80, 22);
  Dialog.BindValue(panel, StopItem, ADR(stop), Dialog.BooleanValue);
  Dialog.SetItemKey(panel, StopItem, Dialog.KeyCharacter, 15C, 0, FALSE, TRUE);

  Dialog.DefineItem(panel, PumpItem, Dialog.Switch, "pump", TRUE, "Pump", 10, 30, 80, 22);
  Dialog.BindValue(panel, PumpItem, ADR(pump), Dialog.BooleanValue);
  Dialog.SetItemKey(panel, PumpItem, Dialog.KeyCharacter, "P", 0, TRUE, FALSE);

  Dialog.DefineItem(panel, LightItem, Dialog.CheckBox, "light", TRUE, "Light", 110, 30, 90, 16);
  Dialog.BindValue(panel, LightItem, ADR(light), Dialog.BooleanValue);

  Dialog.DefineItem(panel, GainLabel, Dialog.Text, "", FALSE, "Gain", 10, 62, 60, 16);
  Dialog.DefineItem(panel, GainItem, Dialog.Drag, "gain", TRUE, "", 80, 62, 70, 18);
  Dialog.BindValue(panel, GainItem, ADR(gain), Dialog.RealValue);
  Dialog.SetNumber(panel, GainItem, "", Dialog.FixedFormat, Dialog.RealValue, 5, 2,
                   0.05, 0.0, 10.0, 1.0, FALSE, 0);

  Dialog.DefineItem(panel, NameLabel, Dialog.Text, "", FALSE, "Name", 10, 92, 60, 16);
  Dialog.DefineItem(panel, NameItem, Dialog.EditText, "name", TRUE, "", 80, 92, 140, 18);
  Dialog.BindText(panel, NameItem, name);

  Dialog.DefineItem(panel, ModeLabel, Dialog.Text, "", FALSE, "Mode", 10, 124, 60, 16);
  Dialog.DefineItem(panel, ModeItem, Dialog.List, "mode", TRUE, "", 80, 124, 110, 20);
  Dialog.InitList(panel, ModeItem, ModeLabel, "");
  Dialog.AddListEntry(panel, ModeItem, "slow");
  Dialog.AddListEntry(panel, ModeItem, "medium");
  Dialog.AddListEntry(panel, ModeItem, "fast");
  Dialog.BindValue(panel, ModeItem, ADR(mode), Dialog.IntegerValue);

  Dialog.DefineItem(panel, ResetItem, Dialog.Button, "reset", TRUE, "Reset", 110, 170, 80, 22);
  Dialog.BindValue(panel, ResetItem, ADR(reset), Dialog.BooleanValue)
END Layout;

PROCEDURE WriteFlag(label: ARRAY OF CHAR; on: BOOLEAN);
BEGIN
  WriteString(label);
  IF on THEN WriteString(" on  ") ELSE WriteString(" off ") END
END WriteFlag;

PROCEDURE Show;
VAR entry: ARRAY [0 .. 15] OF CHAR;
BEGIN
  WriteFlag("pump", pump);
  WriteFlag("light", light);
  WriteString("gain"); WriteFixed(gain, 6, 2);
  WriteString("  name '"); WriteString(name); WriteString("'");
  Dialog.GetListEntryText(panel, ModeItem, mode + 1, entry);
  WriteString("  mode "); WriteString(entry);
  WriteLn
END Show;

BEGIN
  stop := FALSE; pump := FALSE; light := TRUE; reset := FALSE;
  gain := 1.0; name := "tank 1"; mode := 1; changed := FALSE;
  IF Dialog.Init(panel, TRUE, TRUE, "Control Panel", "ControlPanel", Dialog.SansFont, 10, Items,
                 40, 240, 300, 190, 1) THEN
    Dialog.SetProcs(panel, NIL, ItemChanged, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, "P");
    IF Dialog.Open(panel, Dialog.DocumentWindow, Layout, NIL, FALSE, TRUE, TRUE, FALSE,
                   FALSE) THEN
      (* The items' tool tips, from the help file beside the program. *)
      IF ToolTips.LoadHelp("ControlPanel.hlp") THEN ToolTips.SetToolTips(TRUE) END;
      Show;
      last := Dialog.Ticks();
      REPEAT
        IF Dialog.Poll(100) THEN last := Dialog.Ticks() END;
        IF reset THEN
          reset := FALSE; pump := FALSE; light := TRUE; gain := 1.0; mode := 1;
          Dialog.Redraw(panel, 0); changed := TRUE
        END;
        IF changed THEN changed := FALSE; Show END
      UNTIL stop OR NOT Dialog.Shown(panel) OR (Dialog.Ticks() - last > IdleLimit);
      IF stop THEN WriteString("Stopped.") ELSE WriteString("Nobody acted: the panel closes.") END;
      WriteLn;
      Dialog.Close(panel)
    END
  END
END ControlPanel.
