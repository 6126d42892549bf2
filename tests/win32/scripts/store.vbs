' The store as a script uses it: insertion under each policy, reads both ways with payloads,
' FAULT written back into the caller's variable, Alloc, Egnore and the sizes.
Dim s, t, mode, key
Set s = CreateObject("Quilmar.clsAVLt")

CheckEq s.MemorySize, 100, "new object: MemorySize"
CheckEq s.DataNumber, 0, "new object: DataNumber"
CheckEq s.Egnore, NOT_EGNORE, "new object: Egnore"
CheckEq s.GetVersion, "Ver1.06", "GetVersion"

' NOT_EGNORE keeps every copy, equal keys in the order they came.
s.Indata "pear", "p1"
s.Indata "apple", 2
s.Indata "pear", "p2"
s.Indata "fig"
s.Indata 10, "ten"
s.Indata 9.5
CheckEq s.DataNumber, 6, "NOT_EGNORE: DataNumber"
CheckEq Walk(s, START_READ, READ_NEXT), "9.5= 10=ten apple=2 fig= pear=p1 pear=p2", "ascending"

' The step past the end wrote FAULT into the variable; reading stays blocked until Alloc.
mode = START_READ
key = s.Read(mode)
CheckEq key, "", "blocked Read"
CheckEq mode, START_READ, "blocked Read leaves the variable"
Check s.Alloc(100), "Alloc 100"
s.Indata "pear", "p1"
s.Indata "apple", 2
s.Indata "pear", "p2"
CheckEq Walk(s, END_READ, READ_BACK), "pear=p2 pear=p1 apple=2", "descending"

' Stepping off the end: the result is "" and the caller's variable holds FAULT.
Check s.Alloc(100), "Alloc"
s.Indata "only", "one"
mode = START_READ
CheckEq s.Read(mode), "only", "START_READ"
CheckEq s.ReadSub(), "one", "ReadSub"
mode = READ_NEXT
CheckEq s.Read(mode), "", "READ_NEXT past the end"
CheckEq mode, FAULT, "FAULT written back"

' USE_FIRST_DATA keeps the first pair; USE_LAST_DATA lets the new pair replace it.
Check s.Alloc(100), "Alloc"
s.Egnore = USE_FIRST_DATA
CheckEq s.Egnore, USE_FIRST_DATA, "Egnore written and read"
s.Indata "k", "first"
s.Indata "k", "second"
CheckEq s.DataNumber, 1, "USE_FIRST_DATA: DataNumber"
CheckEq Walk(s, START_READ, READ_NEXT), "k=first", "USE_FIRST_DATA"
Check s.Alloc(100), "Alloc"
CheckEq s.Egnore, NOT_EGNORE, "Alloc resets Egnore"
s.Egnore = USE_LAST_DATA
s.Indata "k", "first"
s.Indata "k", "second"
CheckEq s.DataNumber, 1, "USE_LAST_DATA: DataNumber"
CheckEq Walk(s, START_READ, READ_NEXT), "k=second", "USE_LAST_DATA"

' READ_MID is the first key inserted since Alloc; a Read of another mode keeps the cursor.
Check s.Alloc(100), "Alloc"
s.Indata "m", "top"
s.Indata "c"
s.Indata "x"
mode = READ_MID
CheckEq s.Read(mode), "m", "READ_MID"
mode = WRITE_DATA
CheckEq s.Read(mode), Empty, "Read WRITE_DATA"
CheckEq s.ReadSub(), "top", "cursor kept"

' Alloc with and without its argument, and the growth by 100 slots.
Check s.Alloc(10.5), "Alloc 10.5"
CheckEq s.MemorySize, 10, "MemorySize after Alloc 10.5"
Check s.Alloc(), "Alloc without argument"
CheckEq s.MemorySize, 100000, "MemorySize after Alloc()"
Check s.Alloc(0), "Alloc 0"
s.Indata 1
CheckEq s.MemorySize, 100, "grown after the first key"
Check s.Alloc(100), "Alloc"
For key = 1 To 101
  s.Indata key
Next
CheckEq s.DataNumber, 101, "101 keys"
CheckEq s.MemorySize, 200, "grown by 100"

' A variable passed as the key is stored by value.
Check s.Alloc(100), "Alloc"
t = "before"
s.Indata t, t
t = "after"
CheckEq Walk(s, START_READ, READ_NEXT), "before=before", "stored by value"

' Two objects are independent.
Dim u
Set u = CreateObject("Quilmar.clsAVLt")
u.Indata "elsewhere"
CheckEq s.DataNumber, 1, "first object untouched"
CheckEq u.DataNumber, 1, "second object"
mode = START_READ
CheckEq u.Read(mode), "elsewhere", "second object's key"
Set u = Nothing
Set s = Nothing
Finish
