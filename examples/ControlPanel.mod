MODULE ControlPanel;
(* A control panel: a switch, a check box, a number dragged with the mouse, an edit
   field and a list, bound to the program's variables. The loop below takes the user's
   actions and writes the values whenever one changed, until "Stop" is pressed (or
   RETURN), the window's close box is clicked, or nobody acted for a minute.
   A second dialog records the user's actions as macros: "Record" (or R) starts and
   stops a recording, a macro button plays its macro; a recording still going on when
   the panel stops is stored, and the macros go to ControlPanel.mac. *)

IMPORT Dialog, ToolTips, Macros;
FROM SYSTEM IMPORT ADR;
FROM TextIO IMPORT WriteString, WriteFixed, WriteInt, WriteLn;

CONST
  IdleLimit = 60000;   (* milliseconds without an action that end the program *)
  StopItem = 1; PumpItem = 2; LightItem = 3; GainLabel = 4; GainItem = 5;
  NameLabel = 6; NameItem = 7; ModeLabel = 8; ModeItem = 9; ResetItem = 10;
  Items = 10;
  RecordItem = 1; RelativeItem = 2; WaitItem = 3; LampItem = 4; FirstMacro = 5;
  LastMacro = 8; MacroItems = 8;

VAR
  panel: Dialog.Handle;
  stop, pump, light, reset: BOOLEAN;
  gain: REAL;
  name: ARRAY [0 .. 23] OF CHAR;
  mode: INTEGER;
  changed: BOOLEAN;
  last: CARDINAL;
  macros: Dialog.Handle;
  relative: BOOLEAN;
  wait: REAL;

PROCEDURE ItemChanged(item: INTEGER);
BEGIN
  IF item # StopItem THEN changed := TRUE END
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

PROCEDURE MacrosLayout;
BEGIN
  Dialog.DefineItem(macros, RecordItem, Dialog.Button, "record", FALSE, "Record", 10, 30, 70, 22);
  Dialog.SetItemKey(macros, RecordItem, Dialog.KeyCharacter, "R", 0, TRUE, FALSE);
  Dialog.DefineItem(macros, RelativeItem, Dialog.Switch, "relative", TRUE, "Relative",
                    90, 30, 80, 22);
  Dialog.BindValue(macros, RelativeItem, ADR(relative), Dialog.BooleanValue);
  Dialog.DefineItem(macros, WaitItem, Dialog.Drag, " Wait", TRUE, "", 180, 30, 60, 18);
  Dialog.BindValue(macros, WaitItem, ADR(wait), Dialog.RealValue);
  Dialog.SetNumber(macros, WaitItem, " s", Dialog.FixedFormat, Dialog.RealValue, 4, 1,
                   0.1, 0.0, 60.0, 1.0, FALSE, 0);
  Dialog.DefineItem(macros, LampItem, Dialog.FramedBool, "lamp", FALSE, "", 250, 30, 18, 18);
  Dialog.DefineItem(macros, FirstMacro, Dialog.Button, "macro 1", TRUE, "empty", 10, 60, 64, 22);
  Dialog.DefineItem(macros, FirstMacro + 1, Dialog.Button, "macro 2", TRUE, "empty",
                    80, 60, 64, 22);
  Dialog.DefineItem(macros, FirstMacro + 2, Dialog.Button, "macro 3", TRUE, "empty",
                    150, 60, 64, 22);
  Dialog.DefineItem(macros, LastMacro, Dialog.Button, "macro 4", TRUE, "empty", 220, 60, 64, 22)
END MacrosLayout;

(* The Macros dialog beside the panel; FALSE when it could not be made. *)
PROCEDURE OpenMacros(): BOOLEAN;
BEGIN
  relative := FALSE; wait := 0.0;
  IF NOT Dialog.Init(macros, FALSE, FALSE, "Macros", "ControlPanelMacros", Dialog.SansFont, 10,
                     MacroItems, 40, 340, 300, 70, 1) THEN
    RETURN FALSE
  END;
  Dialog.SetProcs(macros, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, NIL, "M");
  RETURN Dialog.Open(macros, Dialog.DocumentWindow, MacrosLayout, NIL, FALSE, TRUE, FALSE,
                     FALSE, FALSE)
         AND Macros.Init("M", 1, 4, WaitItem, LampItem, 0, RelativeItem, RecordItem, FirstMacro,
                         LastMacro)
END OpenMacros;

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
    IF NOT OpenMacros() THEN WriteString("No macros."); WriteLn END;
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
      IF Macros.Recording() THEN Macros.ToggleRecording END;
      IF Macros.Modified() AND Macros.Store("ControlPanel.mac") THEN
        WriteString("Macros stored in ControlPanel.mac."); WriteLn
      END;
      Dialog.Close(panel)
    END
  END
END ControlPanel.
