' Removal as a script uses it: Remove and the count it returns, a walk that removes with
' RemoveCurrent, For Each while removing, RemoveAll, and where the cursor goes; no message box.
Dim s, k, c, seen, mode, key, steps, mem

' A store with the keys given, each with the payload "p" & key.
Function Filled(keys)
  Dim store, key
  Set store = CreateObject("Quilmar.clsAVLt")
  For Each key In keys
    store.Indata key, "p" & key
  Next
  Set Filled = store
End Function

' Remove takes every copy of the key and says how many; an absent key is no error.
Set s = CreateObject("Quilmar.clsAVLt")
s.Indata "pear", 1
s.Indata "apple", 2
s.Indata "pear", 3
s.Indata 10, 4
s.Indata "fig", 5
For Each c In Array(Array("pear", 2, "10 apple fig"), Array("pear", 0, "10 apple fig"), _
                    Array("plum", 0, "10 apple fig"), Array("10", 0, "10 apple fig"), _
                    Array(CDbl(10), 1, "apple fig"), Array("", 0, "apple fig"), _
                    Array(Null, 0, "apple fig"), Array(Empty, 0, "apple fig"))
  CheckEq s.Remove(c(0)), c(1), "Remove(" & Shown(c(0)) & ")"
  CheckEq Walked(s), c(2), "the keys after Remove(" & Shown(c(0)) & ")"
Next
CheckEq VarType(s.Remove("fig")), vbLong, "Remove's count is a Long"
CheckEq s.Count, 1, "Count after the removals"
CheckEq s.DataNumber, 1, "DataNumber after the removals"
CheckEq s.MemorySize, 100, "MemorySize does not change"

' A walk that removes as it goes: RemoveCurrent answers the next key and leaves the cursor there.
Set s = Filled(Array(5, 3, 8, 1, 4, 7, 9, 2, 6, 10))
mode = START_READ
key = s.Read(mode)
steps = 0
Do While mode <> FAULT And Not IsEmpty(key) And key <> "" And steps < 20
  If key Mod 3 = 0 Then
    key = s.RemoveCurrent()
    If key <> "" Then CheckEq s.ReadSub(), "p" & key, "the cursor after RemoveCurrent, on " & key
  Else
    mode = READ_NEXT
    key = s.Read(mode)
  End If
  steps = steps + 1
Loop
CheckEq Walked(s), "1 2 4 5 7 8 10", "RemoveCurrent while walking"
CheckEq s.Count, 7, "Count after the walk"

' At the last key RemoveCurrent answers "" and does not block reading.
Check s.Find(10), "Find(10)"
CheckEq s.RemoveCurrent(), "", "RemoveCurrent of the last key"
mode = START_READ
CheckEq s.Read(mode), 1, "reading not blocked after it"
CheckEq mode, START_READ, "no FAULT"
' While reading is blocked, and in an empty store, it removes nothing.
CheckEq Walk(s, START_READ, READ_NEXT), "1=p1 2=p2 4=p4 5=p5 7=p7 8=p8", "walk to the end"
CheckEq s.RemoveCurrent(), "", "RemoveCurrent while blocked"
CheckEq s.Count, 6, "nothing removed while blocked"
CheckEq CreateObject("Quilmar.clsAVLt").RemoveCurrent(), "", "RemoveCurrent of an empty store"

' Remove of the key under the cursor moves the cursor as RemoveCurrent does; another key, not.
Set s = Filled(Array("b", "d", "f", "h"))
Check s.Find("d"), "Find(d)"
CheckEq s.Remove("b"), 1, "Remove(b)"
CheckEq s.ReadSub(), "pd", "the cursor stays when another key goes"
CheckEq s.Remove("d"), 1, "Remove(d), under the cursor"
CheckEq s.ReadSub(), "pf", "the cursor moves to the next bigger key"
mode = READ_NEXT
CheckEq s.Read(mode), "h", "and reads on from there"

' For Each while removing: a key removed ahead is not returned, none that remains is skipped,
' none comes twice, the current key may go.
Set s = Filled(Array("c", "a", "e", "b", "d", "f"))
seen = ""
For Each k In s
  seen = seen & " " & k
  If k = "b" Then
    s.Remove "b"
    s.Remove "c"
  ElseIf k = "d" Then
    s.Remove "a"
  End If
Next
CheckEq Mid(seen, 2), "a b d e f", "For Each while removing"
CheckEq Walked(s), "d e f", "what remains"
seen = ""
For Each k In s
  seen = seen & " " & k
  s.Remove k
Next
CheckEq Mid(seen, 2), "d e f", "For Each removing every key it meets"
CheckEq s.Count, 0, "all gone"

' The key For Each returned last removed, and a smaller one inserted: it goes on after the
' removed key, never back.
Set s = Filled(Array(5, 10, 20))
seen = ""
For Each k In s
  seen = seen & " " & k
  If k = 10 Then
    s.Remove 10
    s.Indata 7, "p7"
  End If
Next
CheckEq Mid(seen, 2), "5 10 20", "For Each after its key was removed and a smaller one inserted"

' Equal keys that remain keep the order they came in.
Set s = CreateObject("Quilmar.clsAVLt")
For Each c In Array("k1", "a", "k2", "z", "k3", "m")
  If Left(c, 1) = "k" Then s.Indata "k", c Else s.Indata c, c
Next
CheckEq s.Remove("a") + s.Remove("z") + s.Remove("m"), 3, "the other keys removed"
CheckEq Joined(s.Items(), " "), "k1 k2 k3", "equal keys in their order"

' READ_MID answers the key now in slot 0 (the first key inserted, until it is removed).
Set s = Filled(Array("m", "c", "x"))
mode = READ_MID
CheckEq s.Read(mode), "m", "READ_MID before"
CheckEq s.Remove("m"), 1, "Remove(m)"
mode = READ_MID
key = s.Read(mode)
Check key = "c" Or key = "x", "READ_MID after removing its key: " & Shown(key)

' RemoveAll keeps the policy and the size, and unblocks reading; a For Each under way ends.
Set s = Filled(Array("a", "b", "c"))
s.Egnore = USE_LAST_DATA
mem = s.MemorySize
CheckEq Walk(s, START_READ, READ_NEXT), "a=pa b=pb c=pc", "walk to the end"
seen = ""
For Each k In s
  seen = seen & " " & k
  If k = "a" Then s.RemoveAll
Next
CheckEq Mid(seen, 2), "a", "For Each across RemoveAll"
CheckEq s.Count, 0, "Count after RemoveAll"
CheckEq UBound(s.Keys()), -1, "Keys after RemoveAll"
CheckEq s.MemorySize, mem, "MemorySize kept"
CheckEq s.Egnore, USE_LAST_DATA, "Egnore kept"
s.Indata "n", 1
s.Indata "n", 2
CheckEq Walk(s, START_READ, READ_NEXT), "n=2", "reading works again, under the kept policy"

Set s = Nothing
Finish

