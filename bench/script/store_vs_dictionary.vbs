' 100,000 late-bound Indata calls and a full ascending pass, against the script peer:
' Scripting.Dictionary's Add and Exists. Run by bench/run-script-bench.sh. The keys are texts:
' Wine's Dictionary refuses some distinct numeric keys as duplicates.
Option Explicit

Const N = 100000
Const START_READ = 1, READ_NEXT = 2

Dim store, dict, i, t, key, mode, value, payload
Dim insertTime, passTime, addTime, existsTime, nullCallTime

Function Elapsed(since)
  Elapsed = Timer - since
  If Elapsed < 0 Then Elapsed = Elapsed + 86400
End Function

' Two decimals by hand: Wine's Round drops them.
Function Fixed(x)
  Fixed = Int(x * 100 + 0.5) / 100
End Function

Sub Report(label, seconds, calls)
  WScript.Echo label & ": " & Fixed(seconds * 1000000 / calls) & " us per call"
End Sub

Set store = CreateObject("Quilmar.clsAVLt")
Set dict = CreateObject("Scripting.Dictionary")

t = Timer
For i = 1 To N
  value = store.DataNumber
Next
nullCallTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  store.Indata key, i
Next
insertTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  dict.Add key, i
Next
addTime = Elapsed(t)

t = Timer
mode = START_READ
For i = 1 To N
  value = store.Read(mode)
  payload = store.ReadSub()
  mode = READ_NEXT
Next
passTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  value = dict.Exists(key)
Next
existsTime = Elapsed(t)

If store.DataNumber <> N Or dict.Count <> N Then WScript.Echo "count mismatch": WScript.Quit 1

Report "late-bound property read (DataNumber)", nullCallTime, N
Report "Indata", insertTime, N
Report "Dictionary.Add", addTime, N
Report "Read + ReadSub, ascending pass", passTime, N
Report "Dictionary.Exists", existsTime, N
WScript.Echo "Indata / Dictionary.Add: " & Fixed(insertTime / addTime)
WScript.Echo "pass step / Dictionary.Exists: " & Fixed(passTime / existsTime)
