' The README's VBA example ("Use from VBA", late binding) as a VBScript: the same calls, with the
' declarations VBScript has no types for left out. cscript //nologo from_vba.vbs prints the keys
' in order with their payloads: apple 5, fig 8, pear 3.
Option Explicit
Const START_READ = 1, READ_NEXT = 2, USE_LAST_DATA = 2

Dim store, mode, i
Set store = CreateObject("Quilmar.clsAVLt")
store.Egnore = USE_LAST_DATA         ' an equal key replaces the stored pair
store.Indata "pear", 3
store.Indata "fig", 7
store.Indata "apple", 5
store.Indata "fig", 8
mode = START_READ
For i = 1 To store.DataNumber        ' stop at the last key: a step past it blocks reading
  WScript.Echo store.Read(mode) & " " & store.ReadSub()
  mode = READ_NEXT
Next
