' Sorts the lines of a text file with Quilmar and prints them; equal lines keep their order.
'   cscript //nologo sort_lines.vbs FILE [/n] [/from:TEXT]
'     /n          show each line's number in the file
'     /from:TEXT  say whether TEXT is a line, then print the lines from the first at or after it
Option Explicit

Const START_READ = 1, READ_NEXT = 2, FAULT = 6, SEEK_AFTER_EQ = 4

Dim args, numbered, from, file, store, blanks, lineNo, text, numbers, i, mode, arg, copies
Set args = WScript.Arguments
If args.Count < 1 Then
  WScript.Echo "usage: cscript //nologo sort_lines.vbs FILE [/n] [/from:TEXT]"
  WScript.Quit 2
End If
numbered = False
from = Empty
For i = 1 To args.Count - 1
  arg = args(i)
  If LCase(arg) = "/n" Then
    numbered = True
  ElseIf LCase(Left(arg, 6)) = "/from:" Then
    from = Mid(arg, 7)
  End If
Next

Set file = CreateObject("Scripting.FileSystemObject").OpenTextFile(args(0), 1)
Set store = CreateObject("Quilmar.clsAVLt")
' The store refuses the empty text as a key (it would read as a free slot): count blank lines
' apart; they sort first anyway.
blanks = 0
lineNo = 0
Do Until file.AtEndOfStream
  lineNo = lineNo + 1
  text = file.ReadLine
  If text = "" Then
    blanks = blanks + 1
  Else
    store.Indata text, lineNo
  End If
Loop
file.Close

Function Shown(text, number)
  If numbered Then Shown = Right("     " & number, 6) & "  " & text Else Shown = text
End Function

If IsEmpty(from) Then
  For i = 1 To blanks
    WScript.Echo ""
  Next
  ' For Each gives the keys in order; Items the line numbers in the same order.
  numbers = store.Items()
  i = 0
  For Each text In store
    WScript.Echo Shown(text, numbers(i))
    i = i + 1
  Next
  WScript.Quit 0
End If

If store.Exists(from) Then
  ' store(from) is the payload of the first equal key: the line number of the first copy.
  text = """" & from & """ is line " & store(from)
  copies = UBound(store.Keys(from, from)) + 1
  If copies > 1 Then text = text & " (the first of " & copies & ")"
  WScript.Echo text
Else
  WScript.Echo """" & from & """ is not a line"
End If
' Seek puts the cursor on the first line at or after `from`; Read goes on from there. The step
' past the last line ends the loop (and would block further reading until Alloc).
text = store.Seek(from, SEEK_AFTER_EQ)
If IsEmpty(text) Then WScript.Quit 0
mode = READ_NEXT
Do While mode <> FAULT
  WScript.Echo Shown(text, store.ReadSub())
  text = store.Read(mode)
Loop
