' A loop over 100,000 keys in order three ways: KeyAt(i) at every step, the array Keys() gives
' (fetched once, then indexed), and For Each. Run by bench/run-array-bench.sh. Each round times
' the three loops one after the other over the same store, so a change of the machine's load falls
' on all of them; the rounds add up. Every loop counts its steps, as For Each needs a count to be
' checked.
Option Explicit

Const N = 100000, ROUNDS = 5

Dim store, source, keys, key, i, t, round, steps
Dim keyAtTime, keysTime, fetchTime, forEachTime, nullTime

Function Elapsed(since)
  Elapsed = Timer - since
  If Elapsed < 0 Then Elapsed = Elapsed + 86400
End Function

' Two decimals by hand: Wine's Round drops them.
Function Fixed(x)
  Fixed = Int(x * 100 + 0.5) / 100
End Function

Sub Expect(ok, what)
  If Not ok Then WScript.Echo "wrong: " & what : WScript.Quit 1
End Sub

ReDim source(N - 1)
For i = 0 To N - 1
  source(i) = CStr((i * 7919) Mod 1000003)
Next
Set store = CreateObject("Quilmar.clsAVLt")
Expect store.Load(source) = N, "the keys loaded"
keys = store.Keys()
For i = 0 To N - 1 Step 997
  Expect store.KeyAt(i) = keys(i), "KeyAt(" & i & ")"
Next

For round = 1 To ROUNDS
  ' The loop alone, reading an element of an array that is already there.
  steps = 0
  t = Timer
  For i = 0 To N - 1
    key = source(i)
    steps = steps + 1
  Next
  nullTime = nullTime + Elapsed(t)

  steps = 0
  t = Timer
  For i = 0 To N - 1
    key = store.KeyAt(i)
    steps = steps + 1
  Next
  keyAtTime = keyAtTime + Elapsed(t)

  keys = Empty
  steps = 0
  t = Timer
  keys = store.Keys()
  fetchTime = fetchTime + Elapsed(t)
  For i = 0 To N - 1
    key = keys(i)
    steps = steps + 1
  Next
  keysTime = keysTime + Elapsed(t)

  steps = 0
  t = Timer
  For Each key In store
    steps = steps + 1
  Next
  forEachTime = forEachTime + Elapsed(t)
  Expect steps = N, "For Each over the store"
Next

WScript.Echo N & " text keys, " & ROUNDS & " rounds; us per key"
WScript.Echo "KeyAt(i): " & Fixed(keyAtTime * 1000000 / (N * ROUNDS))
WScript.Echo "Keys() once, then keys(i): " & Fixed(keysTime * 1000000 / (N * ROUNDS)) & _
             " (the Keys() call: " & Fixed(fetchTime * 1000000 / (N * ROUNDS)) & ")"
WScript.Echo "For Each step: " & Fixed(forEachTime * 1000000 / (N * ROUNDS))
WScript.Echo "the loop reading a script array: " & Fixed(nullTime * 1000000 / (N * ROUNDS))
WScript.Echo "KeyAt / keys(i): " & Fixed(keyAtTime / keysTime)
WScript.Echo "KeyAt / For Each: " & Fixed(keyAtTime / forEachTime)
