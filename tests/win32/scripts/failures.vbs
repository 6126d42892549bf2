' Run-time failures reach the script as Err, and the object stays usable.
Dim s, n
Set s = CreateObject("Quilmar.clsAVLt")

CheckEq s.Alloc(3E+09), False, "Alloc 3E+09 refused"
On Error Resume Next
n = s.MemorySize
CheckEq Err.Number, 6, "MemorySize beyond a Long: Err.Number"
CheckEq Err.Description, "Overflow", "Err.Description"
Err.Clear
n = s.DataNumber
CheckEq Err.Number, 0, "DataNumber still answers"
CheckEq n, 0, "DataNumber"
Err.Clear
s.NoSuchMember
CheckEq Err.Number, 438, "unknown member"
Err.Clear
s.Rebalance 1, 1
CheckEq Err.Number, 438, "private member"
Err.Clear
On Error GoTo 0

CheckEq s.Alloc(100), True, "Alloc after the failure"
CheckEq s.MemorySize, 100, "MemorySize after the failure"
Finish
