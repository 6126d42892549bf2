' Joined in front of every test script by the harness: the enumerations, checks and the summary
' line that the harness requires (cscript itself exits 0 even when a script dies).
Option Explicit

Const WRITE_DATA = 0, START_READ = 1, READ_NEXT = 2, READ_BACK = 3, READ_MID = 4
Const END_READ = 5, FAULT = 6
Const NOT_EGNORE = 0, USE_FIRST_DATA = 1, USE_LAST_DATA = 2
Const SEEK_FIRST_EQ = 1, SEEK_LAST_EQ = 2, SEEK_AFTER_EQ = 4, SEEK_AFTER = 8
Const SEEK_BEFORE_EQ = 16, SEEK_BEFORE = 32

Dim checks, failures
checks = 0
failures = 0

Function Shown(v)
  If IsObject(v) Or IsArray(v) Then
    Shown = TypeName(v)  ' an object's default member may need arguments
  ElseIf IsEmpty(v) Then
    Shown = "Empty"
  ElseIf IsNull(v) Then
    Shown = "Null"
  ElseIf VarType(v) = vbString Then
    Shown = """" & v & """"
  Else
    Shown = CStr(v) & " (" & TypeName(v) & ")"
  End If
End Function

Sub Check(ok, what)
  checks = checks + 1
  If Not ok Then
    failures = failures + 1
    WScript.Echo "FAIL: " & what
  End If
End Sub

' Equal values of the same family: text against text, number against number; Empty is not "".
Sub CheckEq(actual, expected, what)
  Dim same
  same = (IsEmpty(actual) = IsEmpty(expected)) And _
         ((VarType(actual) = vbString) = (VarType(expected) = vbString))
  If same Then same = (actual = expected)
  Check same, what & ": got " & Shown(actual) & ", expected " & Shown(expected)
End Sub

' Reads from `first` on, stepping with `stepMode` until FAULT: "key=payload key=payload ...".
Function Walk(store, first, stepMode)
  Dim mode, key, text, steps
  mode = first
  key = store.Read(mode)
  Do While mode <> FAULT And steps < 50
    text = text & " " & key & "=" & store.ReadSub()
    mode = stepMode
    key = store.Read(mode)
    steps = steps + 1
  Loop
  Walk = Mid(text, 2)
End Function

' The keys For Each gives, separated by spaces.
Function Walked(store)
  Dim key, text
  text = ""  ' Wine's Mid refuses Empty
  For Each key In store
    text = text & " " & key
  Next
  Walked = Mid(text, 2)
End Function

' The elements of an array separated by `separator` (Wine's Join is not implemented).
Function Joined(values, separator)
  Dim i
  Joined = ""
  For i = 0 To UBound(values)
    If i > 0 Then Joined = Joined & separator
    Joined = Joined & values(i)
  Next
End Function

Sub Finish()
  WScript.Echo "SUMMARY: " & checks & " checks, " & failures & " failed"
  WScript.Quit failures
End Sub
