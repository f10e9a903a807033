' The control from VBScript under cscript: defaults with their types, every property set and
' read back, system colours as VBScript writes them, and the errors automation reports. Prints
' PASS and quits with 0 only when every check held.
Option Explicit
Dim failures : failures = 0

Sub Check(what, actual, expected, typeName_)
    If actual <> expected Or TypeName(actual) <> typeName_ Then
        WScript.Echo "FAIL " & what & ": got " & actual & " (" & TypeName(actual) & _
                     "), expected " & expected & " (" & typeName_ & ")"
        failures = failures + 1
    End If
End Sub

Sub Fails(what, errNumber)
    If errNumber = 0 Then
        WScript.Echo "FAIL " & what & ": no error"
        failures = failures + 1
    End If
End Sub

Dim ctl : Set ctl = CreateObject("MOVITREL.MovitrelCtrl.1")

Check "BaseFile", ctl.BaseFile, "", "String"
Check "Buttons", ctl.Buttons, True, "Boolean"
Check "Command", ctl.Command, 0, "Integer"
Check "Delay", ctl.Delay, 500, "Long"
Check "Dir", ctl.Dir, "", "String"
Check "Loop", ctl.Loop, False, "Boolean"
Check "Maximize", ctl.Maximize, False, "Boolean"
Check "Pause", ctl.Pause, False, "Boolean"
Check "PictureBackColor", ctl.PictureBackColor, 0, "Long"
Check "Slider", ctl.Slider, True, "Boolean"
Check "Sort", ctl.Sort, 0, "Integer"
Check "BackColor", ctl.BackColor, &H80000005, "Long"
Check "CacheSize", ctl.CacheSize, 256, "Long"
Check "Watch", ctl.Watch, False, "Boolean"
Check "Bounce", ctl.Bounce, False, "Boolean"
Check "LastDelay", ctl.LastDelay, 0, "Long"
Check "DecodeToFit", ctl.DecodeToFit, False, "Boolean"

ctl.CacheSize = 64
ctl.Watch = True
ctl.Bounce = True
ctl.LastDelay = 700
ctl.DecodeToFit = True
Check "CacheSize set", ctl.CacheSize, 64, "Long"
Check "Watch set", ctl.Watch, True, "Boolean"
Check "Bounce set", ctl.Bounce, True, "Boolean"
Check "LastDelay set", ctl.LastDelay, 700, "Long"
Check "DecodeToFit set", ctl.DecodeToFit, True, "Boolean"

ctl.Pause = True
Check "Pause while Command is 0", ctl.Pause, False, "Boolean"

' A system colour as VBScript writes it: a negative Long.
ctl.BackColor = &H8000000F
Check "BackColor system colour", ctl.BackColor, &H8000000F, "Long"
ctl.PictureBackColor = RGB(10, 20, 30)
Check "PictureBackColor", ctl.PictureBackColor, RGB(10, 20, 30), "Long"
ctl.Loop = True
ctl.Command = 1
ctl.Pause = True
Check "Command", ctl.Command, 1, "Integer"
Check "Pause", ctl.Pause, True, "Boolean"
ctl.Sort = 1
Check "Sort", ctl.Sort, 1, "Integer"
Check "Command after Sort", ctl.Command, 0, "Integer"
Check "Pause after Sort", ctl.Pause, False, "Boolean"
ctl.Command = 7
Check "Loop after Stop", ctl.Loop, False, "Boolean"
ctl.Delay = "250"
Check "Delay from text", ctl.Delay, 250, "Long"

On Error Resume Next
Err.Clear : ctl.NoSuchProperty = 1 : Fails "unknown name", Err.Number
Err.Clear : Dim x : x = ctl.NoSuchProperty : Fails "unknown name read", Err.Number
Err.Clear : ctl.Command = 70000 : Fails "Command beyond 16 bits", Err.Number
Err.Clear : ctl.Delay = "soon" : Fails "Delay of the wrong type", Err.Number
Err.Clear : ctl.Loop = "maybe" : Fails "Loop of the wrong type", Err.Number
On Error GoTo 0
Check "Command unchanged by the failures", ctl.Command, 7, "Integer"

If failures = 0 Then WScript.Echo "PASS props.vbs"
WScript.Quit failures
