' The VBA macro examples/sorted_dictionary.bas as a VBScript, with a range's rows written out as
' an array: fill a dictionary, read it back in key order, rename and remove keys. cscript //nologo
' sorted_dictionary.vbs prints each name with its total, from A to Z:
'   Brown 11 / Jones 7 / Smith, J. 12 / Taylor 5
Option Explicit
' vbTextCompare is VBScript's own constant: declaring it again is an error that stops the script.

Dim data(5, 1), d, r, k
data(0, 0) = "Taylor" : data(0, 1) = 5
data(1, 0) = "smith" : data(1, 1) = 4
data(2, 0) = "Jones" : data(2, 1) = 7
data(3, 0) = "Brown" : data(3, 1) = 11
data(4, 0) = "Smith" : data(4, 1) = 8
data(5, 0) = "Nobody" : data(5, 1) = 1

Set d = CreateObject("Quilmar.SortedDictionary")   ' was CreateObject("Scripting.Dictionary")
d.CompareMode = vbTextCompare                      ' "smith" and "Smith" are one name
For r = 0 To UBound(data, 1)
  If Not IsEmpty(data(r, 0)) Then d(data(r, 0)) = d(data(r, 0)) + data(r, 1)
Next
If d.Exists("Smith") Then d.Key("Smith") = "Smith, J."   ' renamed: it takes its new place
If d.Exists("Nobody") Then d.Remove "Nobody"
For Each k In d                                    ' the names from A to Z
  WScript.Echo k & " " & d(k)
Next
