' Whether this script host can create the object, in one line: "PROBE: <architecture> created
' <version>" or "PROBE: <architecture> error <number>". The architecture tells the host's bitness:
' AMD64 for a 64-bit process, x86 for a 32-bit one.
Option Explicit
On Error Resume Next
Dim arch, store
arch = CreateObject("WScript.Shell").Environment("Process")("PROCESSOR_ARCHITECTURE")
Set store = CreateObject("Quilmar.clsAVLt")
If Err.Number = 0 Then
  WScript.Echo "PROBE: " & arch & " created " & store.GetVersion
Else
  WScript.Echo "PROBE: " & arch & " error " & Err.Number
End If
