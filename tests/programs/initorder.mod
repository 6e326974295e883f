MODULE initorder;
(* The bodies of imported modules run before the importer's, each once, however many
   modules import it: InitC (imported three times), then InitB, then InitA. *)
FROM InOut IMPORT WriteString, WriteCard, WriteLn;
IMPORT InitA, InitC;

BEGIN
  WriteString("initorder body"); WriteLn;
  WriteCard(InitA.Value(), 4); WriteCard(InitC.Seen(), 4); WriteLn
END initorder.
