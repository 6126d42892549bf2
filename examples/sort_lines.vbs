' Sorts the lines of a text file with Quilmar and prints them; equal lines keep their order.
'   cscript //nologo sort_lines.vbs FILE [/n]     (/n: show each line's number in the file)
Option Explicit

Const START_READ = 1, READ_NEXT = 2

Dim args, numbered, file, store, blanks, lineNo, text, mode, i
Set args = WScript.Arguments
If args.Count < 1 Then
  WScript.Echo "usage: cscript //nologo sort_lines.vbs FILE [/n]"
  WScript.Quit 2
End If
numbered = (args.Count > 1)
If numbered Then numbered = (LCase(args(1)) = "/n")

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

For i = 1 To blanks
  WScript.Echo ""
Next
' Read exactly DataNumber keys: a step past the last one would block reading until Alloc.
mode = START_READ
For i = 1 To store.DataNumber
  text = store.Read(mode)
  If numbered Then text = Right("     " & store.ReadSub(), 6) & "  " & text
  WScript.Echo text
  mode = READ_NEXT
Next
