' 100,000 late-bound calls of each kind against the script peer, Scripting.Dictionary: Indata
' against Add, Exists against Exists, t(k) against d(k), a For Each step against a For Each step,
' Remove against Remove, and a Read pass. Run by bench/run-script-bench.sh. The keys are texts:
' Wine's Dictionary refuses some distinct numeric keys as duplicates.
Option Explicit

Const N = 100000, PASSES = 5
Const START_READ = 1, READ_NEXT = 2

Dim store, dict, i, t, key, mode, value, payload, steps, round
Dim insertTime, passTime, addTime, nullCallTime
Dim existsTime, dictExistsTime, itemTime, dictItemTime, forEachTime, dictForEachTime
Dim removeTime, dictRemoveTime, sorted, sortedForEachTime

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

Sub Ratio(label, seconds, peerSeconds)
  WScript.Echo label & ": " & Fixed(seconds / peerSeconds)
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
  value = store.Exists(key)
Next
existsTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  value = dict.Exists(key)
Next
dictExistsTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  value = store(key)
Next
itemTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  value = dict(key)
Next
dictItemTime = Elapsed(t)

' The same keys inserted in key order: its walk reads the table front to back, as the
' Dictionary's reads its pairs in the order they came.
Set sorted = CreateObject("Quilmar.clsAVLt")
For Each key In store.Keys()
  sorted.Indata key, 0
Next

' For Each steps are short: five passes over each, taken in turns so that a change of the machine's
' load falls on all.
forEachTime = 0
dictForEachTime = 0
sortedForEachTime = 0
For round = 1 To PASSES
  steps = 0
  t = Timer
  For Each key In store
    steps = steps + 1
  Next
  forEachTime = forEachTime + Elapsed(t)
  If steps <> N Then WScript.Echo "For Each over the store: " & steps & " steps": WScript.Quit 1
  steps = 0
  t = Timer
  For Each key In dict
    steps = steps + 1
  Next
  dictForEachTime = dictForEachTime + Elapsed(t)
  If steps <> N Then WScript.Echo "For Each over the Dictionary: " & steps & " steps": WScript.Quit 1
  steps = 0
  t = Timer
  For Each key In sorted
    steps = steps + 1
  Next
  sortedForEachTime = sortedForEachTime + Elapsed(t)
  If steps <> N Then WScript.Echo "For Each over the sorted store: " & steps & " steps": WScript.Quit 1
Next

If store.DataNumber <> N Or dict.Count <> N Then WScript.Echo "count mismatch": WScript.Quit 1

' Every key removed, one call each, in the order they came.
t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  value = store.Remove(key)
Next
removeTime = Elapsed(t)

t = Timer
For i = 1 To N
  key = CStr((i * 7919) Mod 1000003)
  dict.Remove key
Next
dictRemoveTime = Elapsed(t)
If store.Count <> 0 Or dict.Count <> 0 Then WScript.Echo "not all removed": WScript.Quit 1

Report "late-bound property read (DataNumber)", nullCallTime, N
Report "Indata", insertTime, N
Report "Dictionary.Add", addTime, N
Report "Read + ReadSub, ascending pass", passTime, N
Report "Exists", existsTime, N
Report "Dictionary.Exists", dictExistsTime, N
Report "t(k)", itemTime, N
Report "Dictionary d(k)", dictItemTime, N
Report "For Each step", forEachTime, N * PASSES
Report "Dictionary For Each step", dictForEachTime, N * PASSES
Report "For Each step, keys inserted in order", sortedForEachTime, N * PASSES
Report "Remove", removeTime, N
Report "Dictionary.Remove", dictRemoveTime, N
Ratio "Indata / Dictionary.Add", insertTime, addTime
Ratio "pass step / Dictionary.Exists", passTime, dictExistsTime
Ratio "Exists / Dictionary.Exists", existsTime, dictExistsTime
Ratio "t(k) / Dictionary d(k)", itemTime, dictItemTime
Ratio "For Each step / Dictionary For Each step", forEachTime, dictForEachTime
Ratio "For Each step, keys inserted in order / Dictionary's", sortedForEachTime, dictForEachTime
Ratio "Remove / Dictionary.Remove", removeTime, dictRemoveTime
