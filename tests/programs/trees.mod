MODULE trees;
(* A binary search tree of words: recursive insertion, in-order traversal, height, and
   freeing the tree with DISPOSE. *)
FROM InOut IMPORT WriteString, WriteCard, Write, WriteLn;
FROM Storage IMPORT ALLOCATE, DEALLOCATE;

TYPE
  Word = ARRAY [0 .. 11] OF CHAR;
  Tree = POINTER TO Node;
  Node = RECORD
    key: Word;
    count: CARDINAL;
    left, right: Tree
  END;

VAR
  root: Tree;
  nodes: CARDINAL;

PROCEDURE Less(a, b: Word): BOOLEAN;
VAR i: CARDINAL;
BEGIN
  i := 0;
  WHILE (i < HIGH(a)) & (a[i] = b[i]) & (a[i] # 0C) DO INC(i) END;
  RETURN a[i] < b[i]
END Less;

PROCEDURE Insert(VAR t: Tree; w: Word);
BEGIN
  IF t = NIL THEN
    NEW(t);
    t^.key := w; t^.count := 1; t^.left := NIL; t^.right := NIL
  ELSIF Less(w, t^.key) THEN Insert(t^.left, w)
  ELSIF Less(t^.key, w) THEN Insert(t^.right, w)
  ELSE INC(t^.count)
  END
END Insert;

PROCEDURE Walk(t: Tree);
BEGIN
  IF t # NIL THEN
    Walk(t^.left);
    WriteString(t^.key); Write(" "); WriteCard(t^.count, 1); WriteLn;
    Walk(t^.right)
  END
END Walk;

PROCEDURE Height(t: Tree): CARDINAL;
VAR l, r: CARDINAL;
BEGIN
  IF t = NIL THEN RETURN 0 END;
  l := Height(t^.left); r := Height(t^.right);
  IF l > r THEN RETURN l + 1 ELSE RETURN r + 1 END
END Height;

PROCEDURE Free(VAR t: Tree);
BEGIN
  IF t # NIL THEN
    Free(t^.left); Free(t^.right);
    DISPOSE(t); INC(nodes)
  END
END Free;

BEGIN
  root := NIL;
  Insert(root, "pear"); Insert(root, "apple"); Insert(root, "fig");
  Insert(root, "plum"); Insert(root, "apple"); Insert(root, "kiwi");
  Insert(root, "date"); Insert(root, "fig"); Insert(root, "apple");
  Walk(root);
  WriteString("height"); WriteCard(Height(root), 3); WriteLn;
  nodes := 0;
  Free(root);
  WriteString("freed"); WriteCard(nodes, 3);
  IF root = NIL THEN WriteString(" root NIL") END;
  WriteLn
END trees.
