' 100,000 late-bound calls of each kind against the script peer, Scripting.Dictionary: Indata
' against Add, Exists against Exists, t(k) against d(k), a For Each step against a For Each step,
' Remove against Remove, and a Read pass. Run by bench/run-script-bench.sh. The keys are texts:
' Wine's Dictionary refuses some distinct numeric keys as duplicates.
'
' Each measure runs once per round, the store's and the Dictionary's one after the other, over
' fresh objects; the rounds add up. A change of the machine's load then falls on both sides.
Option Explicit

Const N = 100000, ROUNDS = 3
Const START_READ = 1, READ_NEXT = 2
' Indexes of the measures in `names` and `times`.
Const NULL_CALL = 0, INDATA = 1, ADD = 2, PASS = 3, EXISTS = 4, DICT_EXISTS = 5, ITEM = 6
Const DICT_ITEM = 7, FOR_EACH = 8, DICT_FOR_EACH = 9, SORTED_FOR_EACH = 10, REMOVE = 11
Const DICT_REMOVE = 12

Dim store, dict, sorted, i, t, key, mode, value, payload, steps, round
Dim times, names, k

' The measures, in the order they are reported.
names = Array("late-bound property read (DataNumber)", "Indata", "Dictionary.Add", _
              "Read + ReadSub, ascending pass", "Exists", "Dictionary.Exists", "t(k)", _
              "Dictionary d(k)", "For Each step", "Dictionary For Each step", _
              "For Each step, keys inserted in order", "Remove", "Dictionary.Remove")
times = Array(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)

Function Elapsed(since)
  Elapsed = Timer - since
  If Elapsed < 0 Then Elapsed = Elapsed + 86400
End Function

' Two decimals by hand: Wine's Round drops them.
Function Fixed(x)
  Fixed = Int(x * 100 + 0.5) / 100
End Function

Sub Ratio(label, which, peer)
  WScript.Echo label & ": " & Fixed(times(which) / times(peer))
End Sub

Sub Expect(ok, what)
  If Not ok Then WScript.Echo "wrong: " & what : WScript.Quit 1
End Sub

For round = 1 To ROUNDS
  Set store = CreateObject("Quilmar.clsAVLt")
  Set dict = CreateObject("Scripting.Dictionary")

  t = Timer
  For i = 1 To N
    value = store.DataNumber
  Next
  times(NULL_CALL) = times(NULL_CALL) + Elapsed(t)

  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    store.Indata key, i
  Next
  times(INDATA) = times(INDATA) + Elapsed(t)
  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    dict.Add key, i
  Next
  times(ADD) = times(ADD) + Elapsed(t)
  Expect store.Count = N And dict.Count = N, "the counts after insertion"

  t = Timer
  mode = START_READ
  For i = 1 To N
    value = store.Read(mode)
    payload = store.ReadSub()
    mode = READ_NEXT
  Next
  times(PASS) = times(PASS) + Elapsed(t)

  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    value = store.Exists(key)
  Next
  times(EXISTS) = times(EXISTS) + Elapsed(t)
  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    value = dict.Exists(key)
  Next
  times(DICT_EXISTS) = times(DICT_EXISTS) + Elapsed(t)

  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    value = store(key)
  Next
  times(ITEM) = times(ITEM) + Elapsed(t)
  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    value = dict(key)
  Next
  times(DICT_ITEM) = times(DICT_ITEM) + Elapsed(t)
  Expect value = N, "the last payload"

  ' The same keys inserted in key order: a walk over it reads the table front to back, as the
  ' Dictionary's reads its pairs in the order they came.
  If round = 1 Then
    Set sorted = CreateObject("Quilmar.clsAVLt")
    For Each key In store.Keys()
      sorted.Indata key, 0
    Next
  End If
  steps = 0
  t = Timer
  For Each key In store
    steps = steps + 1
  Next
  times(FOR_EACH) = times(FOR_EACH) + Elapsed(t)
  Expect steps = N, "For Each over the store"
  steps = 0
  t = Timer
  For Each key In dict
    steps = steps + 1
  Next
  times(DICT_FOR_EACH) = times(DICT_FOR_EACH) + Elapsed(t)
  Expect steps = N, "For Each over the Dictionary"
  steps = 0
  t = Timer
  For Each key In sorted
    steps = steps + 1
  Next
  times(SORTED_FOR_EACH) = times(SORTED_FOR_EACH) + Elapsed(t)
  Expect steps = N, "For Each over the store filled in order"

  ' Every key removed, one call each, in the order they came.
  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    value = store.Remove(key)
  Next
  times(REMOVE) = times(REMOVE) + Elapsed(t)
  t = Timer
  For i = 1 To N
    key = CStr((i * 7919) Mod 1000003)
    dict.Remove key
  Next
  times(DICT_REMOVE) = times(DICT_REMOVE) + Elapsed(t)
  Expect store.Count = 0 And dict.Count = 0, "everything removed"
Next

WScript.Echo N & " text keys, " & ROUNDS & " rounds"
For k = 0 To UBound(names)
  WScript.Echo names(k) & ": " & Fixed(times(k) * 1000000 / (N * ROUNDS)) & " us per call"
Next
Ratio "Indata / Dictionary.Add", INDATA, ADD
Ratio "pass step / Dictionary.Exists", PASS, DICT_EXISTS
Ratio "Exists / Dictionary.Exists", EXISTS, DICT_EXISTS
Ratio "t(k) / Dictionary d(k)", ITEM, DICT_ITEM
Ratio "For Each step / Dictionary For Each step", FOR_EACH, DICT_FOR_EACH
Ratio "For Each step, keys inserted in order / Dictionary's", SORTED_FOR_EACH, DICT_FOR_EACH
Ratio "Remove / Dictionary.Remove", REMOVE, DICT_REMOVE
