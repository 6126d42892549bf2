' Quilmar.SortedDictionary as a script written for a dictionary calls it. First the same calls
' on it and on Scripting.Dictionary, whose answers must match but for the order; then what the
' oracle cannot tell: the order, the sorted extras, and the rules where Wine 8's Dictionary is not
' Windows'. Where it differs (seen with this suite), the README holds:
'   - Key(k) = k2 with k missing adds k2 instead of failing with 32811;
'   - CompareMode takes a negative value instead of failing with 5;
'   - Set d(k) = obj fails with 445 (only Add stores an object);
'   - Null, Empty, Boolean and Currency keys, and arrays, fail with 445 instead of being keys
'     (arrays: 13); a lookup with Empty fails with E_NOTIMPL;
'   - TypeName names the interface ("IDictionary"), see below.
' VBScript has no CVErr: error values as keys are left to the C++ client.
Dim d, oracle, got, c, k, obj, a, seen, ours, theirs, i, m(2, 1)

Sub CheckErr(number, what)
  CheckEq Err.Number, number, what & ": Err.Number"
  Err.Clear
End Sub

' "key=item ..." in the order Keys and Items give.
Function Pairs(dict)
  Dim keys, items, i
  keys = dict.Keys()
  items = dict.Items()
  Pairs = ""
  For i = 0 To UBound(keys)
    If i > 0 Then Pairs = Pairs & " "
    Pairs = Pairs & Shown(keys(i)) & "=" & Shown(items(i))
  Next
End Function

' The pairs as text, sorted as text: the same for both dictionaries whatever their order. (ReDim
' of a Dim x() array crashes Wine's VBScript: the array comes from Split.)
Function PairSet(dict)
  Dim keys, items, lines, i, j, line
  keys = dict.Keys()
  items = dict.Items()
  lines = ""
  For i = 0 To UBound(keys)
    If i > 0 Then lines = lines & vbLf
    lines = lines & Shown(keys(i)) & "=" & Shown(items(i))
  Next
  lines = Split(lines, vbLf)
  For i = 1 To UBound(lines)
    line = lines(i)
    j = i
    Do While j > 0
      If lines(j - 1) <= line Then Exit Do
      lines(j) = lines(j - 1)
      j = j - 1
    Loop
    lines(j) = line
  Next
  PairSet = Joined(lines, " ")
End Function

' The same calls on either dictionary, each answer a line "what: answer" of the result.
Function Played(dict)
  Dim lines, k, got
  dict.Add "pear", 3
  dict.Add CInt(10), "ten"
  dict("fig") = 7
  dict.Item("apple") = 5
  dict.Add "dict", obj
  got = dict("kiwi")
  lines = "d(kiwi) of a missing key: " & Shown(got) & "|Count: " & dict.Count
  lines = lines & "|Exists(fig FIG CLng(10) CDbl(10) ""10"" kiwi): " & dict.Exists("fig") & _
          dict.Exists("FIG") & dict.Exists(CLng(10)) & dict.Exists(CDbl(10)) & _
          dict.Exists("10") & dict.Exists("kiwi")
  lines = lines & "|d(CDbl(10)): " & dict(CDbl(10)) & "|d(dict) Is obj: " & (dict("dict") Is obj)
  dict("fig") = "F"
  lines = lines & "|d(fig) = F: " & dict.Item("fig")
  On Error Resume Next
  dict.Add "pear", 4
  lines = lines & "|Add of a present key: " & Err.Number
  Err.Clear
  dict.Add CLng(10), 4
  lines = lines & "|Add of an equal number: " & Err.Number
  Err.Clear
  dict.Add "lime"
  lines = lines & "|Add without an item: " & Err.Number
  Err.Clear
  dict.Remove "lime"
  lines = lines & "|Remove of a missing key: " & Err.Number
  Err.Clear
  dict.Key("fig") = "pear"
  lines = lines & "|Key to a present key: " & Err.Number
  Err.Clear
  dict.Key("fig") = "fig"
  lines = lines & "|Key to itself: " & Err.Number
  Err.Clear
  dict.CompareMode = 1
  lines = lines & "|CompareMode with keys present: " & Err.Number & " " & dict.CompareMode
  Err.Clear
  On Error GoTo 0
  dict.Key("fig") = "banana"
  lines = lines & "|Key(fig) = banana: " & dict.Exists("fig") & " " & dict("banana")
  dict.Remove "pear"
  lines = lines & "|pairs: " & PairSet(dict)
  For Each k In dict
    dict.Remove k  ' the current key
  Next
  lines = lines & "|Count after removing each in For Each: " & dict.Count
  dict.Add "a", 1
  dict.RemoveAll
  lines = lines & "|RemoveAll: " & dict.Count & " " & UBound(dict.Keys()) & " " & _
          UBound(dict.Items())
  dict.CompareMode = 1
  dict.Add "x", 1
  On Error Resume Next
  dict.Add "X", 2
  lines = lines & "|text mode: Add(X) with x present: " & Err.Number
  Err.Clear
  On Error GoTo 0
  lines = lines & "|text mode: " & dict.CompareMode & " " & dict.Exists("X") & " " & dict("X")
  Played = lines
End Function

Set obj = CreateObject("Scripting.Dictionary")
Set d = CreateObject("Quilmar.SortedDictionary")
ours = Split(Played(d), "|")
theirs = Split(Played(CreateObject("Scripting.Dictionary")), "|")
got = Array("d(kiwi) of a missing key: Empty", "Count: 6", _
            "Exists(fig FIG CLng(10) CDbl(10) ""10"" kiwi): TrueFalseTrueTrueFalseTrue", _
            "d(CDbl(10)): ten", "d(dict) Is obj: True", "d(fig) = F: F", _
            "Add of a present key: 457", "Add of an equal number: 457", _
            "Add without an item: 450", "Remove of a missing key: 32811", _
            "Key to a present key: 457", "Key to itself: 457", _
            "CompareMode with keys present: 5 0", "Key(fig) = banana: False F", _
            "pairs: ""apple""=5 (Integer) ""banana""=""F"" ""dict""=" & TypeName(obj) & _
            " ""kiwi""=Empty 10 (Integer)=""ten""", _
            "Count after removing each in For Each: 0", "RemoveAll: 0 -1 -1", _
            "text mode: Add(X) with x present: 457", "text mode: 1 True 1")
CheckEq UBound(ours), UBound(got), "lines played"
CheckEq UBound(theirs), UBound(got), "lines played by Scripting.Dictionary"
For i = 0 To UBound(got)
  CheckEq ours(i), got(i), "played"
  CheckEq ours(i), theirs(i), "played beside Scripting.Dictionary"
Next

' TypeName names the class on Windows (through IProvideClassInfo, as for "Dictionary"); Wine 8's
' names the interface behind IDispatch, its own Dictionary's too ("IDictionary").
Set d = CreateObject("Quilmar.SortedDictionary")
If TypeName(obj) = "Dictionary" Then
  CheckEq TypeName(d), "SortedDictionary", "TypeName"
Else
  CheckEq TypeName(obj) & " " & TypeName(d), "IDictionary ISortedDictionary", _
          "TypeName from an engine that names the interface"
End If
CheckEq d.Count & " " & d.CompareMode, "0 0", "new: Count and CompareMode"
CheckEq TypeName(d.Keys()) & " " & UBound(d.Keys()), "Variant() -1", "new: Keys()"
CheckEq TypeName(d.Items()) & " " & UBound(d.Items()), "Variant() -1", "new: Items()"

' The order: keys of every kind as they were added, items with them; Set stores the object.
d.Add "pear", 3
d(CInt(10)) = "ten"
d.Add Null, "null"
d(Empty) = "blank"
d.Add CCur(2.5), True
Set d("dict") = obj
CheckEq Pairs(d), "Null=""null"" 2.5 (Currency)=True (Boolean) 10 (Integer)=""ten"" " & _
                  "Empty=""blank"" ""dict""=" & TypeName(obj) & " ""pear""=3 (Integer)", _
                  "Keys() and Items() in key order"
Check d("dict") Is obj, "Set d(k) = obj stores the object itself"
CheckEq d("") & " " & d.Exists(0), "blank False", "Empty is the key """", and not 0"
seen = ""
For Each k In d
  seen = seen & " " & Shown(k)
Next
CheckEq Mid(seen, 2), "Null 2.5 (Currency) 10 (Integer) Empty ""dict"" ""pear""", "For Each"

' The rules Wine's Dictionary does not follow; nothing changes.
On Error Resume Next
d.Key("lime") = "x"
CheckErr 32811, "Key of a missing key"
d.Add Array(1), 1
CheckErr 13, "Add of an array key"
d(Array(1)) = 1
CheckErr 13, "d(array) = v"
got = d(Array(1))
CheckErr 13, "d(array)"
d.Key("pear") = Array(1)
CheckErr 13, "Key to an array"
Set oracle = CreateObject("Quilmar.SortedDictionary")
oracle.CompareMode = -1
CheckErr 5, "CompareMode = -1"
CheckEq d.Exists(Array(1)) & " " & d.IndexOf(Array(1)), "False -1", "Exists and IndexOf of an array"
d.Remove Array(1)
CheckErr 32811, "Remove of an array"
On Error GoTo 0
CheckEq Joined(d.Keys(), " "), " 2.5 10  dict pear", "the keys after the refusals"
CheckEq oracle.CompareMode, 0, "CompareMode after the refusal"

' The sorted extras: one call each, with _clsAVLt3's conversions and errors.
CheckEq Shown(d.KeyAt("2")), "10 (Integer)", "KeyAt(""2"")"
CheckEq d.ItemAt(2.0), "ten", "ItemAt(2.0)"
d.ItemAt(3) = "B"
CheckEq d(Empty), "B", "ItemAt(3) = v"
Set d.ItemAt(3) = obj
Check d("") Is obj, "Set ItemAt(3) = obj"
CheckEq d.IndexOf("dict") & " " & d.IndexOf("zzz") & " " & d.IndexOf(Null), "4 -1 0", "IndexOf"
CheckEq d.Seek("c") & " " & d.Seek("e", SEEK_BEFORE) & " " & IsEmpty(d.Seek("zzz")), _
        "dict dict True", "Seek"
CheckEq Joined(d.Keys("a", "e"), " ") & "|" & Joined(d.Items(3, 10), " "), "dict|ten", _
        "Keys and Items with bounds"
a = d.ToArray("a", "z")
CheckEq UBound(a, 1) & " " & UBound(a, 2) & " " & a(2, 1) & " " & a(2, 2), "2 2 pear 3", _
        "ToArray(a, z)"
CheckEq Joined(d.Sort(Array("b", 2, "a")), " "), "2 a b", "Sort"
d.RemoveAt 0
CheckEq d.Exists(Null), False, "RemoveAt 0"
On Error Resume Next
For Each c In Array(Array(-1, 9), Array(d.Count, 9), Array("x", 13))
  got = d.KeyAt(c(0))
  CheckErr c(1), "KeyAt(" & Shown(c(0)) & ")"
  got = d.ItemAt(c(0))
  CheckErr c(1), "ItemAt(" & Shown(c(0)) & ")"
  d.RemoveAt c(0)
  CheckErr c(1), "RemoveAt " & Shown(c(0))
Next
got = d.Seek("a", 3)
CheckErr 5, "Seek with another How"
On Error GoTo 0
d.RemoveAll

' Load: each row as d(k) = v (a later row replaces an earlier one); a 1-D source gives the item
' Empty; Null is a key, blanks are skipped.
d.CompareMode = 1
m(0, 0) = "pear" : m(0, 1) = 3
m(1, 0) = "fig" : m(1, 1) = 7
m(2, 0) = "PEAR" : m(2, 1) = 5
CheckEq d.Load(m, 0, 1), 3, "Load(m, 0, 1): rows taken"
CheckEq Pairs(d), """fig""=7 (Integer) ""pear""=5 (Integer)", "Load: a later row replaces"
CheckEq d.Load(m), 3, "Load(m): rows taken"
CheckEq Pairs(d), """fig""=1 (Long) ""pear""=2 (Long)", "Load(m): the rows as items"
Set d = CreateObject("Quilmar.SortedDictionary")
CheckEq d.Load(Array("b", Null, "", "a", Empty)), 3, "Load(1-D)"
CheckEq Pairs(d), "Null=Empty ""a""=Empty ""b""=Empty", "Load(1-D): the pairs"
On Error Resume Next
got = d.Load(Array("c", Array(1)))
CheckErr 5, "Load of an array key"
got = d.Load("x")
CheckErr 13, "Load of a string"
On Error GoTo 0
CheckEq d.Count, 3, "the dictionary after Load's refusals"

Set d = Nothing
Set oracle = Nothing
Set obj = Nothing
Finish
