Attribute VB_Name = "SortedDictionaryExample"
' What one does with Scripting.Dictionary, with only the CreateObject line changed: fill a
' dictionary from a range, read it back (now in key order), rename and remove keys.
' Sheet: names in A2:A11, amounts in B2:B11; the totals go to D2:E11.
Option Explicit

Sub TotalsByName()
    Dim d As Object, data As Variant, r As Long, k As Variant, out As Long
    Set d = CreateObject("Quilmar.SortedDictionary")   ' was CreateObject("Scripting.Dictionary")
    d.CompareMode = vbTextCompare                      ' "smith" and "Smith" are one name
    data = Range("A2:B11").Value
    For r = 1 To UBound(data, 1)
        If Not IsEmpty(data(r, 1)) Then d(data(r, 1)) = d(data(r, 1)) + data(r, 2)
    Next
    If d.Exists("Smith") Then d.Key("Smith") = "Smith, J."   ' renamed: it takes its new place
    If d.Exists("Nobody") Then d.Remove "Nobody"
    out = 2
    For Each k In d                                    ' the names from A to Z
        Cells(out, 4).Value = k
        Cells(out, 5).Value = d(k)
        out = out + 1
    Next
End Sub
