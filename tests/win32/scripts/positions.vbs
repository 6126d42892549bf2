' _clsAVLt3's members as a script calls them late bound: each member once, with its conversions,
' its optional arguments left out and the error numbers Err shows. What the store does with a
' position or a row is tested natively; this is the binding.
' VBScript has no CVErr, so Load's error-valued cells are left to the C++ client.
Dim p, t, u, got, c, obj, a, v, m(2, 1), n(3, 1), cube(1, 1, 1)

Sub CheckErr(number, what)
  CheckEq Err.Number, number, what & ": Err.Number"
  Err.Clear
End Sub

Function Filled()
  Set Filled = CreateObject("Quilmar.clsAVLt")
  Filled.Indata "pear", "P"
  Filled.Indata "apple", "A"
  Filled.Indata "fig", "F"
  Filled.Indata "kiwi", "K"
End Function

' "key=item ..." in order, from Keys and Items.
Function Pairs(store)
  Dim keys, items, i
  keys = store.Keys()
  items = store.Items()
  Pairs = ""
  For i = 0 To UBound(keys)
    If i > 0 Then Pairs = Pairs & " "
    Pairs = Pairs & keys(i) & "=" & items(i)
  Next
End Function

Set obj = CreateObject("Scripting.Dictionary")
m(0, 0) = "pear" : m(0, 1) = 3   ' a fixed array: ReDim of a 2-D one crashes Wine's VBScript
m(1, 0) = "fig" : m(1, 1) = 7
m(2, 0) = "apple" : m(2, 1) = 5

' CompareMode reads back what was set, converted as a Long; text mode ignores case.
Set t = CreateObject("Quilmar.clsAVLt")
CheckEq t.CompareMode, 0, "new: CompareMode"
For Each c In Array(Array(2, 2), Array(1033, 1033), Array("0", 0), Array(0.6, 1))
  t.CompareMode = c(0)
  CheckEq t.CompareMode, c(1), "CompareMode = " & Shown(c(0))
Next
t.Indata "cherry"
t.Indata "Banana"
t.Indata "apple"
CheckEq Joined(t.Keys(), " "), "apple Banana cherry", "text mode: the order"
CheckEq t.Exists("BANANA"), True, "text mode: Exists(BANANA)"
On Error Resume Next
t.CompareMode = 0
CheckErr 5, "CompareMode = 0 with keys stored"
Set u = CreateObject("Quilmar.clsAVLt")
u.CompareMode = -1
CheckErr 5, "CompareMode = -1"
u.CompareMode = "text"
CheckErr 13, "CompareMode = ""text"""
On Error GoTo 0
CheckEq t.CompareMode, 1, "CompareMode after the refusal"
CheckEq u.CompareMode, 0, "CompareMode after the refusals on an empty store"

' KeyAt: the index converts as a Long argument does (halves to even).
Set p = Filled()
For Each c In Array(Array(0, "apple"), Array(3, "pear"), Array("2", "kiwi"), _
                    Array(CDbl(2), "kiwi"), Array(1.5, "kiwi"), Array(2.5, "kiwi"), _
                    Array(CByte(1), "fig"), Array(Empty, "apple"))
  CheckEq p.KeyAt(c(0)), c(1), "KeyAt(" & Shown(c(0)) & ")"
Next
On Error Resume Next
For Each c In Array(Array(-1, 9), Array(4, 9), Array("x", 13), Array(Null, 13), _
                    Array(3E+10, 6), Array(obj, 13), Array(Array(1), 13))
  got = p.KeyAt(c(0))
  CheckErr c(1), "KeyAt(" & Shown(c(0)) & ")"
Next
got = p.KeyAt()
CheckErr 450, "KeyAt()"
On Error GoTo 0

' ItemAt: read, let and Set.
CheckEq p.ItemAt(0), "A", "ItemAt(0)"
CheckEq p.ItemAt("3"), "P", "ItemAt(""3"")"
p.ItemAt(1) = "F2"
CheckEq p("fig"), "F2", "ItemAt(1) = v"
Set p.ItemAt(2) = obj
Check p("kiwi") Is obj, "Set ItemAt(2) = obj stores the object itself"
Check p.ItemAt(2) Is obj, "ItemAt(2) gives the object"
p.ItemAt(2) = "K"
On Error Resume Next
got = p.ItemAt(4)
CheckErr 9, "ItemAt(4)"
p.ItemAt(-1) = "x"
CheckErr 9, "ItemAt(-1) = v"
Set p.ItemAt(4) = obj
CheckErr 9, "Set ItemAt(4) = obj"
p.ItemAt("x") = 1
CheckErr 13, "ItemAt(""x"") = v"
On Error GoTo 0
CheckEq Pairs(p), "apple=A fig=F2 kiwi=K pear=P", "the store after ItemAt's refusals"

' IndexOf: -1 for a key missing or one the store could never hold.
For Each c In Array(Array("kiwi", 2), Array("zzz", -1), Array("KIWI", -1), Array("", -1), _
                    Array(Empty, -1), Array(Null, -1), Array(obj, -1), Array(Array(1), -1))
  CheckEq p.IndexOf(c(0)), c(1), "IndexOf(" & Shown(c(0)) & ")"
Next

' Position: read and set; the cursor it sets is the one Read and ReadSub use.
Check p.Find("fig"), "Find(fig)"
CheckEq p.Position, 1, "Position after Find"
p.Position = 3
CheckEq p.ReadSub(), "P", "ReadSub after Position = 3"
p.Position = "0"
got = READ_NEXT
CheckEq p.Read(got), "fig", "Read(READ_NEXT) after Position = ""0"""
On Error Resume Next
p.Position = 4
CheckErr 9, "Position = 4"
p.Position = "x"
CheckErr 13, "Position = ""x"""
On Error GoTo 0
CheckEq p.Position, 1, "the cursor after the refusals"
CheckEq Walk(p, READ_NEXT, READ_NEXT), "kiwi=K pear=P", "walk to the end"
CheckEq p.Position, -1, "Position while reading is blocked"
p.Position = 2
got = READ_NEXT
CheckEq p.Read(got), "pear", "Position = 2 ends the block"
Set u = CreateObject("Quilmar.clsAVLt")
CheckEq u.Position, -1, "Position of an empty store"

' RemoveAt removes the pair at a position and returns nothing.
Set u = Filled()
u.RemoveAt "1"
CheckEq Pairs(u), "apple=A kiwi=K pear=P", "RemoveAt ""1"""
On Error Resume Next
For Each c In Array(Array(3, 9), Array(-1, 9), Array("x", 13))
  u.RemoveAt c(0)
  CheckErr c(1), "RemoveAt " & Shown(c(0))
Next
u.RemoveAt
CheckErr 450, "RemoveAt without an index"
On Error GoTo 0
CheckEq u.Count, 3, "Count after RemoveAt's refusals"

' Load: a 1-D array gives each key Indata's payload, a 2-D one the row unless a column is named;
' blanks are skipped; columns are in the array's own bounds and convert as Longs.
Set u = CreateObject("Quilmar.clsAVLt")
CheckEq u.Load(Array("pear", "apple", "", Empty, "fig")), 3, "Load(1-D)"
CheckEq Pairs(u), "apple= fig= pear=", "Load(1-D): the pairs"
For Each c In Array(Array(Empty, Empty, "apple=2 fig=1 pear=0"), _
                    Array(1, Empty, "3=0 5=2 7=1"), Array(1, 0, "3=pear 5=apple 7=fig"), _
                    Array("1", 0.2, "3=pear 5=apple 7=fig"), _
                    Array(Empty, 1, "apple=5 fig=7 pear=3"))
  Set u = CreateObject("Quilmar.clsAVLt")
  If IsEmpty(c(0)) And IsEmpty(c(1)) Then
    got = u.Load(m)
  ElseIf IsEmpty(c(1)) Then
    got = u.Load(m, c(0))
  ElseIf IsEmpty(c(0)) Then
    got = u.Load(m, , c(1))
  Else
    got = u.Load(m, c(0), c(1))
  End If
  CheckEq got, 3, "Load(m, " & c(0) & ", " & c(1) & ")"
  CheckEq Pairs(u), c(2), "Load(m, " & c(0) & ", " & c(1) & "): the pairs"
Next
CheckEq TypeName(u("apple")), "Integer", "a cell keeps its type"
Set u = CreateObject("Quilmar.clsAVLt")
u.Load m
CheckEq TypeName(u("apple")), "Long", "the row as payload"
CheckEq u.Load((m)), 3, "Load of an array passed by value"

' Load's refusals: all or nothing, the row named in the description.
Set u = Filled()
On Error Resume Next
got = u.Load(Array("b", Null, "a"))
CheckEq Err.Description, "Invalid procedure call or argument (row 1)", _
        "Load of Null: Err.Description"
CheckErr 5, "Load of Null"
got = u.Load(Array("b", "c", obj))
CheckEq Err.Description, "Invalid procedure call or argument (row 2)", _
        "Load of an object: Err.Description"
CheckErr 5, "Load of an object"
For Each c In Array(Array("x", Empty, 13), Array(5, Empty, 13), Array(cube, Empty, 5), _
                    Array(m, 2, 5), Array(m, -1, 5), Array(Array(1, 2), 0, 5), Array(m, "x", 13), _
                    Array(m, Array(0), 13))
  got = u.Load(c(0), c(1))
  CheckErr c(2), "Load(" & Shown(c(0)) & ", " & Shown(c(1)) & ")"
Next
got = u.Load(Array("a", "b"), , 0)
CheckErr 5, "Load(1-D, , 0)"
got = u.Load()
CheckErr 450, "Load()"
On Error GoTo 0
CheckEq Pairs(u), "apple=A fig=F kiwi=K pear=P", "the store after Load's refusals"
Set u = CreateObject("Quilmar.clsAVLt")
CheckEq u.Alloc(1.4), True, "Alloc 1.4: two slots"
On Error Resume Next
got = u.Load(Array("a", "b", "c"))
CheckEq Err.Description, "Out of memory (row 2)", "Load with no room: Err.Description"
CheckErr 7, "Load with no room"
On Error GoTo 0
CheckEq u.Count, 0, "nothing loaded"

' ToArray: rows 1 to Count by columns 1 to 2, as a range's Value.
Set p = Filled()
a = p.ToArray()
CheckEq TypeName(a), "Variant()", "ToArray(): TypeName"
CheckEq LBound(a, 1) & " " & UBound(a, 1) & " " & LBound(a, 2) & " " & UBound(a, 2), "1 4 1 2", _
        "ToArray(): the bounds"
CheckEq a(1, 1) & " " & a(1, 2) & " " & a(4, 1) & " " & a(4, 2), "apple A pear P", _
        "ToArray(): cells"
For Each c In Array(Array("b", "l", "fig kiwi"), Array(Empty, "b", "apple"), _
                    Array("g", Empty, "kiwi pear"), Array("q", "z", ""))
  If IsEmpty(c(0)) Then
    a = p.ToArray(, c(1))
  ElseIf IsEmpty(c(1)) Then
    a = p.ToArray(c(0))
  Else
    a = p.ToArray(c(0), c(1))
  End If
  got = ""
  For v = 1 To UBound(a, 1)
    got = got & " " & a(v, 1)
  Next
  CheckEq Mid(got, 2), c(2), "ToArray(" & Shown(c(0)) & ", " & Shown(c(1)) & ")"
Next
CheckEq UBound(a, 1) & " " & UBound(a, 2), "0 2", "ToArray() with no pair: the bounds"
a = CreateObject("Quilmar.clsAVLt").ToArray(Empty, Empty)
CheckEq LBound(a, 1) & " " & UBound(a, 1), "1 0", "ToArray(Empty, Empty) of an empty store"

' Sort: a copy, same shape and bounds; the store and the source untouched.
v = Array("pear", 10, "Apple", "", 2.5, True)
CheckEq Joined(p.Sort(v), "|"), "2.5|10||Apple|pear|True", "Sort(1-D)"
CheckEq Joined(v, "|"), "pear|10|Apple||2.5|True", "Sort leaves its source"
CheckEq Joined(p.Sort(Array(1, 3, 2), , "True"), " "), "3 2 1", "Sort(1-D, , ""True"")"
CheckEq Joined(t.Sort(Array("b", "A", "a", "B")), " "), "A a b B", "Sort in text mode: stable"
CheckEq Joined(p.Sort(Array("b", "A", "a", "B")), " "), "A B a b", "Sort in binary mode"
a = p.Sort(m, 1, True)
CheckEq LBound(a, 1) & " " & UBound(a, 1) & " " & LBound(a, 2) & " " & UBound(a, 2), "0 2 0 1", _
        "Sort(2-D): the bounds"
CheckEq a(0, 0) & " " & a(1, 0) & " " & a(2, 0), "fig apple pear", "Sort(m, 1, True)"
a = p.Sort(m)
CheckEq a(0, 0) & " " & a(1, 0) & " " & a(2, 0), "apple fig pear", "Sort(m): the first column"
n(0, 0) = "b" : n(0, 1) = 1
n(1, 0) = "a" : n(1, 1) = 2
n(2, 0) = "c" : n(2, 1) = 1
n(3, 0) = "d" : n(3, 1) = 2
a = p.Sort(n, Array(1, 0), Array(True, False))
CheckEq a(0, 0) & a(1, 0) & a(2, 0) & a(3, 0), "adbc", "Sort(n, Array(1, 0), Array(True, False))"
a = p.Sort(n, Array("1", 0.4), Array(1, "False"))
CheckEq a(0, 0) & a(1, 0) & a(2, 0) & a(3, 0), "adbc", "Sort's By and Descending converted"
On Error Resume Next
For Each c In Array(Array("x", Empty, Empty, 13), Array(Array(1, obj), Empty, Empty, 13), _
                    Array(cube, Empty, Empty, 5), Array(Array(1, 2), 0, Empty, 5), _
                    Array(m, 2, Empty, 5), Array(m, Array(0, 1), Array(True), 5), _
                    Array(m, "x", Empty, 13), Array(m, 0, "maybe", 13))
  got = p.Sort(c(0), c(1), c(2))
  CheckErr c(3), "Sort(" & Shown(c(0)) & ", " & Shown(c(1)) & ", " & Shown(c(2)) & ")"
Next
got = p.Sort()
CheckErr 450, "Sort()"
On Error GoTo 0
CheckEq Pairs(p), "apple=A fig=F kiwi=K pear=P", "the store after Sort"

Set obj = Nothing
Set p = Nothing
Set t = Nothing
Set u = Nothing
Finish
