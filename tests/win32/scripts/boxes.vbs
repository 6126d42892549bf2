' The warning box, as the user sees it; the harness reads the boxes the script shows and
' compares them, in order, with the "box:" lines below.
' box: WARNING|Quilmar.DLL No Memory.\r\n(AllocSize=0.4 Failed)|OK|no icon
' box: WARNING|Quilmar.DLL No Memory.\r\n(AllocSize=100 Failed)|OK|no icon
Dim s, r
Set s = CreateObject("Quilmar.clsAVLt")

' A fractional size: one slot, which never grows, so the second key is refused.
CheckEq s.Alloc(0.4), True, "Alloc 0.4"
s.Indata "x"
r = s.Indata("y", "payload")
CheckEq r, Empty, "Indata's result after the box"
CheckEq s.DataNumber, 1, "the refused key not stored"

' A key that would read as a free slot is refused the same way.
CheckEq s.Alloc(100), True, "Alloc"
s.Indata ""
CheckEq s.DataNumber, 0, "the empty text is not stored"
s.Indata "kept"
CheckEq s.DataNumber, 1, "the store goes on"

' An Alloc refused, for its size or its sign, keeps the table, which goes on taking keys with no box.
CheckEq s.Alloc(3E+09), False, "Alloc 3E+09 refused"
s.Indata "k"
CheckEq s.DataNumber, 2, "a key stored after the refused Alloc"
CheckEq s.Alloc(-1), False, "Alloc -1 refused"
s.Indata "m"
CheckEq s.DataNumber, 3, "and after a negative one"
Finish
