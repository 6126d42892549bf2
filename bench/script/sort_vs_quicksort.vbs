' Sort against the quicksort scripts carry for want of one (middle element as pivot, two indexes
' closing in, recursion on both sides), on copies of the same array. The argument names the case:
'   numbers  1,000,000 random numbers in a 1-D array
'   column   the same numbers in a 1,000,000 by 1 array (a column's shape)
'   table    100,000 rows by 5 columns sorted by a text column of 8 to 24 random lowercase
'            letters; the quicksort swaps whole rows, cell by cell. Lowercase, because this
'            engine's < orders text as the locale does ("a" < "B" < "b"), not by code as Sort's
'            binary mode and Windows' script engine do; on one case of letters the two agree.
' Run by bench/run-array-bench.sh, one case a process: the quicksort of a million takes minutes.
' Sort's time includes passing the array in and its sorted copy back; the quicksort sorts a copy
' made with the clock stopped. The two results are then checked to be in the same order. Sort
' runs in ROUNDS rounds, the quicksort once (minutes at a million).
'
' The 2-D arrays are fixed (Dim with numbers): this script engine has no other way to make a 2-D
' array of a chosen size (ReDim of two dimensions stops it).
Option Explicit

Const N = 1000000, ROWS = 100000, ROUNDS = 3, QUICK_ROUNDS = 1

Dim column(999999, 0), table(99999, 4)
Dim store, numbers, copy, sorted, i, j, t, round, seed, text, length, which
Dim sortTime, quickTime, size

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

' A linear congruential generator in doubles (a Long would overflow), the same numbers every run.
Function NextRandom()
  seed = seed * 69069 + 1
  seed = seed - Int(seed / 4294967296) * 4294967296
  NextRandom = seed / 4294967296
End Function

Sub QuickSort(v, low, high)
  Dim pivot, swap, i, j
  i = low
  j = high
  pivot = v((low + high) \ 2)
  Do While i <= j
    Do While v(i) < pivot
      i = i + 1
    Loop
    Do While pivot < v(j)
      j = j - 1
    Loop
    If i <= j Then
      swap = v(i) : v(i) = v(j) : v(j) = swap
      i = i + 1
      j = j - 1
    End If
  Loop
  If low < j Then QuickSort v, low, j
  If i < high Then QuickSort v, i, high
End Sub

' The same on rows of a 2-D array, by column `by`, every column of a row moved with it.
Sub QuickSortRows(v, low, high, by)
  Dim pivot, swap, i, j, c, lastColumn
  lastColumn = UBound(v, 2)
  i = low
  j = high
  pivot = v((low + high) \ 2, by)
  Do While i <= j
    Do While v(i, by) < pivot
      i = i + 1
    Loop
    Do While pivot < v(j, by)
      j = j - 1
    Loop
    If i <= j Then
      For c = 0 To lastColumn
        swap = v(i, c) : v(i, c) = v(j, c) : v(j, c) = swap
      Next
      i = i + 1
      j = j - 1
    End If
  Loop
  If low < j Then QuickSortRows v, low, j, by
  If i < high Then QuickSortRows v, i, high, by
End Sub

which = ""
If WScript.Arguments.Count = 1 Then which = WScript.Arguments(0)
seed = 12345
Select Case which
  Case "numbers"
    ReDim numbers(N - 1)
    For i = 0 To N - 1
      numbers(i) = NextRandom() * 2000000 - 1000000
    Next
    size = N
  Case "column"
    For i = 0 To N - 1
      column(i, 0) = NextRandom() * 2000000 - 1000000
    Next
    size = N
  Case "table"
    For i = 0 To ROWS - 1
      length = 8 + Int(NextRandom() * 17)
      text = ""
      For j = 1 To length
        text = text & Chr(97 + Int(NextRandom() * 26))
      Next
      table(i, 0) = i
      table(i, 1) = text
      table(i, 2) = NextRandom()
      table(i, 3) = "row " & i
      table(i, 4) = i Mod 7
    Next
    size = ROWS
  Case Else
    WScript.Echo "usage: sort_vs_quicksort.vbs numbers|column|table"
    WScript.Quit 2
End Select
Set store = CreateObject("Quilmar.clsAVLt")

For round = 1 To ROUNDS
  t = Timer
  Select Case which
    Case "numbers" : sorted = store.Sort(numbers)
    Case "column" : sorted = store.Sort(column)
    Case "table" : sorted = store.Sort(table, 1)
  End Select
  sortTime = sortTime + Elapsed(t)
  If round <= QUICK_ROUNDS Then
    Select Case which
      Case "numbers"
        copy = numbers
        t = Timer
        QuickSort copy, 0, N - 1
        quickTime = quickTime + Elapsed(t)
        For i = 0 To N - 1
          Expect sorted(i) = copy(i), "element " & i
        Next
      Case "column"
        copy = column
        t = Timer
        QuickSortRows copy, 0, N - 1, 0
        quickTime = quickTime + Elapsed(t)
        For i = 0 To N - 1
          Expect sorted(i, 0) = copy(i, 0), "row " & i
        Next
      Case "table"
        copy = table
        t = Timer
        QuickSortRows copy, 0, ROWS - 1, 1
        quickTime = quickTime + Elapsed(t)
        For i = 0 To ROWS - 1
          Expect sorted(i, 1) = copy(i, 1), "row " & i
        Next
    End Select
  End If
  sorted = Empty
  copy = Empty
Next

WScript.Echo which & ", " & size & " rows: seconds per sort (Sort: " & ROUNDS & _
             " rounds, quicksort: " & QUICK_ROUNDS & ")"
WScript.Echo "Sort: " & Fixed(sortTime / ROUNDS)
WScript.Echo "quicksort: " & Fixed(quickTime / QUICK_ROUNDS)
WScript.Echo "quicksort / Sort: " & Fixed((quickTime / QUICK_ROUNDS) / (sortTime / ROUNDS))
