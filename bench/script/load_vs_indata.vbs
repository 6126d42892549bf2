' 1,000,000 pairs into a new store and back out as a 2-D array, two ways: Load of the whole array,
' then ToArray; and one Indata call per pair, then a Read pass (Read and ReadSub a step) that
' fills a 2-D array with the same pairs. Run by bench/run-array-bench.sh. The keys are texts of
' the numbers (i * 7919) mod 1000003, every one distinct, in that (scattered) order; the payload of
' each is its row. Each round times both ways one after the other over new stores; the rounds
' add up. Freeing a store of a million keys happens outside the clock.
'
' The script's arrays are fixed (Dim with numbers): this script engine has no other way to make a
' 2-D array of a chosen size (ReDim of two dimensions stops it). They are therefore 0-based where
' ToArray's is 1-based; both hold the same pairs in the same order.
Option Explicit

Const N = 1000000, ROUNDS = 3
Const START_READ = 1, READ_NEXT = 2

Dim source(999999, 1), built(999999, 1)
Dim store, pairs, mode, i, t, round, spread
Dim loadTime, toArrayTime, indataTime, passTime

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

' i * 7919 passes what a Long holds, and Mod takes Longs: the remainder in doubles.
For i = 0 To N - 1
  spread = (i + 1) * 7919
  source(i, 0) = CStr(spread - Int(spread / 1000003) * 1000003)
  source(i, 1) = i + 1
Next

For round = 1 To ROUNDS
  Set store = CreateObject("Quilmar.clsAVLt")
  t = Timer
  Expect store.Load(source, 0, 1) = N, "the rows Load took"
  loadTime = loadTime + Elapsed(t)
  t = Timer
  pairs = store.ToArray()
  toArrayTime = toArrayTime + Elapsed(t)
  Expect UBound(pairs, 1) = N And UBound(pairs, 2) = 2, "ToArray's bounds"
  Set store = Nothing

  Set store = CreateObject("Quilmar.clsAVLt")
  t = Timer
  For i = 0 To N - 1
    store.Indata source(i, 0), source(i, 1)
  Next
  indataTime = indataTime + Elapsed(t)
  t = Timer
  mode = START_READ
  For i = 0 To N - 1
    built(i, 0) = store.Read(mode)
    built(i, 1) = store.ReadSub()
    mode = READ_NEXT
  Next
  passTime = passTime + Elapsed(t)
  Set store = Nothing

  If round = 1 Then
    For i = 0 To N - 1
      Expect pairs(i + 1, 1) = built(i, 0) And pairs(i + 1, 2) = built(i, 1), "row " & i
    Next
  End If
  pairs = Empty
Next

WScript.Echo N & " text keys, " & ROUNDS & " rounds; seconds per round, us per pair"
WScript.Echo "Load: " & Fixed(loadTime / ROUNDS) & " s, " & Fixed(loadTime * 1000000 / (N * ROUNDS))
WScript.Echo "ToArray: " & Fixed(toArrayTime / ROUNDS) & " s, " & _
             Fixed(toArrayTime * 1000000 / (N * ROUNDS))
WScript.Echo "Indata: " & Fixed(indataTime / ROUNDS) & " s, " & _
             Fixed(indataTime * 1000000 / (N * ROUNDS))
WScript.Echo "Read pass into an array: " & Fixed(passTime / ROUNDS) & " s, " & _
             Fixed(passTime * 1000000 / (N * ROUNDS))
WScript.Echo "Load + ToArray / Indata + pass: " & _
             Fixed((loadTime + toArrayTime) / (indataTime + passTime))
WScript.Echo "Load / Indata: " & Fixed(loadTime / indataTime)
WScript.Echo "ToArray / pass: " & Fixed(toArrayTime / passTime)
