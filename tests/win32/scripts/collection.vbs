' The collection members as a script uses them: For Each, the default property read and written
' (Set for objects), Exists, Find, Seek in every mode, Keys and Items with their bounds, a blocked
' read ended by Find and Seek, the errors a script sees in Err, and no message box from any of them.
Dim t, u, k, c, seen, got, mode, before, obj

Sub CheckErr(number, what)
  CheckEq Err.Number, number, what & ": Err.Number"
  Err.Clear
End Sub

Set t = CreateObject("Quilmar.clsAVLt")

' An empty store: nothing to walk, empty arrays, nothing found.
CheckEq t.Count, 0, "empty: Count"
CheckEq Walked(t), "", "empty: For Each"
CheckEq UBound(t.Keys()), -1, "empty: UBound(Keys())"
CheckEq UBound(t.Items()), -1, "empty: UBound(Items())"
Check Not t.Exists("k"), "empty: Exists"
Check Not t.Find("k"), "empty: Find"
CheckEq t.Seek("k"), Empty, "empty: Seek"

' Both kinds of key, every copy of equal keys; the payload left out is "".
t.Indata "pear", "p1"
t.Indata "apple", 2
t.Indata "pear", "p2"
t.Indata 10, "ten"
t.Indata 9.5
t.Indata "fig", "f"
CheckEq t.Count, 6, "Count"
CheckEq Walked(t), "9.5 10 apple fig pear pear", "For Each: ascending, every copy"
CheckEq Joined(t.Keys(), " "), "9.5 10 apple fig pear pear", "Keys()"
CheckEq UBound(t.Keys()), 5, "UBound(Keys())"
CheckEq Joined(t.Items(), "|"), "|ten|2|f|p1|p2", "Items(): in the order of the keys"

' The default property reads the payload of the first equal key; numbers compare by value.
CheckEq t("pear"), "p1", "t(k): the first equal key"
CheckEq t.Item("apple"), 2, "t.Item(k)"
CheckEq t(10), "ten", "t(number)"
CheckEq t(CDbl(10)), "ten", "t(k) with another type of the same number"
CheckEq t(9.5), "", "t(k) of a payload left out"

' Exists: binary text comparison, numbers apart from text, keys the store could not hold.
For Each c In Array(Array("fig", True), Array("FIG", False), Array(10, True), _
                    Array(CLng(10), True), Array("10", False), Array("zzz", False), _
                    Array("", False), Array(Empty, False), Array(Null, False))
  CheckEq t.Exists(c(0)), c(1), "Exists(" & Shown(c(0)) & ")"
Next

' Keys and Items between bounds, both included; left out, a bound does not limit.
For Each c In Array(Array("b", "p", "fig"), Array("apple", "pear", "apple fig pear pear"), _
                    Array(10, "apple", "10 apple"), Array(9.5, 9.5, "9.5"), _
                    Array("q", "z", ""), Array("z", "a", ""))
  CheckEq Joined(t.Keys(c(0), c(1)), " "), c(2), "Keys(" & Shown(c(0)) & ", " & Shown(c(1)) & ")"
Next
CheckEq Joined(t.Keys("fig"), " "), "fig pear pear", "Keys(Low)"
CheckEq Joined(t.Keys(, "apple"), " "), "9.5 10 apple", "Keys(, High)"
CheckEq UBound(t.Keys("q", "z")), -1, "UBound of an empty range"
CheckEq Joined(t.Items("fig", "pear"), " "), "f p1 p2", "Items(Low, High)"

' Find puts the cursor on the first equal key; a failed Find leaves it.
Check t.Find("pear"), "Find(pear)"
CheckEq t.ReadSub(), "p1", "ReadSub after Find"
mode = READ_NEXT
CheckEq t.Read(mode), "pear", "Read(READ_NEXT) after Find"
CheckEq t.ReadSub(), "p2", "the second pear"
Check Not t.Find("plum"), "Find(plum)"
CheckEq t.ReadSub(), "p2", "a failed Find keeps the cursor"

' Item, Exists, Keys, Items and For Each move nothing.
Check t.Find("apple"), "Find(apple)"
got = t("fig")
got = t.Exists("fig")
got = t.Keys()
got = t.Items()
got = Walked(t)
CheckEq t.ReadSub(), 2, "the cursor after Item, Exists, Keys, Items and For Each"

' Assignment replaces the first equal key's payload, or inserts the pair.
before = t.Count
t("fig") = "F"
CheckEq t("fig"), "F", "t(k) = v replaces"
t("pear") = "P"
CheckEq Joined(t.Items("pear", "pear"), " "), "P p2", "t(k) = v: only the first equal key"
CheckEq t.Count, before, "replacing adds no key"
t("kiwi") = "k"
t.Item("lime") = 3
CheckEq t.Count, before + 2, "t(k) = v and t.Item(k) = v insert"
CheckEq Joined(t.Keys("fig", "pear"), " "), "fig kiwi lime pear pear", "inserted in order"
CheckEq t("lime"), 3, "t.Item(k) = v"

' Set stores the object itself.
Set obj = CreateObject("Scripting.Dictionary")
Set t("dict") = obj
obj.Add "x", 1
Check t("dict") Is obj, "Set t(k) = obj stores the object itself"
CheckEq t("dict").Count, 1, "a call through the stored object"
t("dict") = 0
Set obj = Nothing

' A key inserted during For Each: returned when it lies after the enumerator, not before.
Set u = CreateObject("Quilmar.clsAVLt")
u.Indata "b"
u.Indata "d"
seen = ""
For Each k In u
  seen = seen & " " & k
  If k = "b" Then
    u.Indata "c"
    u.Indata "a"
  End If
Next
CheckEq Mid(seen, 2), "b c d", "For Each while inserting"
' Two loops, each with its own place.
seen = ""
For Each k In u
  For Each c In u
    If c > k Then seen = seen & " " & k & c
  Next
Next
CheckEq Mid(seen, 2), "ab ac ad bc bd cd", "nested For Each"

' Seek, each mode, from a known cursor (on "zz", payload "z") that a miss must leave.
Set u = CreateObject("Quilmar.clsAVLt")
u.Indata 20, "b1"
u.Indata 10, "a"
u.Indata 30, "c"
u.Indata 20, "b2"
u.Indata "zz", "z"
For Each c In Array(Array(20, SEEK_FIRST_EQ, 20, "b1"), Array(20, SEEK_LAST_EQ, 20, "b2"), _
                    Array(20, SEEK_AFTER_EQ, 20, "b1"), Array(20, SEEK_AFTER, 30, "c"), _
                    Array(20, SEEK_BEFORE_EQ, 20, "b2"), Array(20, SEEK_BEFORE, 10, "a"), _
                    Array(15, SEEK_AFTER_EQ, 20, "b1"), Array(15, SEEK_BEFORE_EQ, 10, "a"), _
                    Array(25, SEEK_AFTER, 30, "c"), Array(25, SEEK_BEFORE, 20, "b2"), _
                    Array(5, SEEK_AFTER, 10, "a"), Array("a", SEEK_BEFORE, 30, "c"), _
                    Array("a", SEEK_AFTER_EQ, "zz", "z"), Array(15, SEEK_FIRST_EQ, Empty, "z"), _
                    Array(15, SEEK_LAST_EQ, Empty, "z"), Array(30, SEEK_AFTER, "zz", "z"), _
                    Array("zz", SEEK_AFTER, Empty, "z"), Array(10, SEEK_BEFORE, Empty, "z"), _
                    Array(5, SEEK_BEFORE_EQ, Empty, "z"), Array("", SEEK_AFTER_EQ, Empty, "z"), _
                    Array(Null, SEEK_BEFORE, Empty, "z"), Array(Empty, SEEK_AFTER, Empty, "z"))
  u.Find "zz"
  CheckEq u.Seek(c(0), c(1)), c(2), "Seek(" & Shown(c(0)) & ", " & c(1) & ")"
  CheckEq u.ReadSub(), c(3), "the cursor after Seek(" & Shown(c(0)) & ", " & c(1) & ")"
Next
CheckEq u.Seek(25), 30, "Seek without How: SEEK_AFTER_EQ"
mode = READ_BACK
CheckEq u.Read(mode), 20, "Read(READ_BACK) after Seek"
CheckEq u.ReadSub(), "b2", "the last 20"

' A step off the end blocks reading; a Find or Seek that lands ends the block, a miss does not.
CheckEq Walk(u, START_READ, READ_NEXT), "10=a 20=b1 20=b2 30=c zz=z", "walk to the end"
mode = START_READ
CheckEq u.Read(mode), "", "blocked"
Check Not u.Find(15), "Find(15) while blocked"
CheckEq u.Seek(40, SEEK_FIRST_EQ), Empty, "a Seek that misses while blocked"
mode = START_READ
CheckEq u.Read(mode), "", "still blocked after the misses"
Check u.Find(20), "Find(20) while blocked"
mode = READ_NEXT
CheckEq u.Read(mode), 20, "Read works again after Find"
CheckEq u.ReadSub(), "b2", "from the first 20"
CheckEq Walk(u, READ_NEXT, READ_NEXT), "30=c zz=z", "walk to the end again"
CheckEq u.Seek(30, SEEK_BEFORE), 20, "Seek while blocked"
CheckEq Walk(u, READ_BACK, READ_BACK), "20=b1 10=a", "Read works again after Seek"

' Errors reach the script in Err; the store stays as it was.
On Error Resume Next
got = t("absent")
CheckErr 9, "t(k) of an absent key"
got = t.Item(Null)
CheckErr 9, "t.Item(Null)"
t("") = 1
CheckErr 5, "t("""") = v"
t(Empty) = 1
CheckErr 5, "t(Empty) = v"
t(Null) = 1
CheckErr 5, "t(Null) = v"
For Each c In Array(0, 3, 64, -1)
  got = u.Seek(20, c)
  CheckErr 5, "Seek(20, " & c & ")"
Next
' A full table that cannot grow (a fractional size's) has no room for a key.
Set obj = CreateObject("Quilmar.clsAVLt")
CheckEq obj.Alloc(0.4), True, "Alloc 0.4: one slot"
obj("w") = 1
obj("x") = 1
CheckErr 7, "t(k) = v with no room"
CheckEq obj.Count, 1, "nothing more stored"
On Error GoTo 0
CheckEq t.Count, 9, "the store after the errors"
CheckEq obj.Alloc(100), True, "Alloc after the failure"
obj("x") = 1
CheckEq obj("x"), 1, "t(k) = v after Alloc"

Set obj = Nothing
Set u = Nothing
Set t = Nothing
Finish
