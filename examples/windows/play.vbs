' Plays the .jpg frames of a folder with the Movitrel control from VBScript:
'   cscript //nologo play.vbs C:\frames [prefix]
' A script gives the control no window, so nothing is drawn here: place the control on a form
' or in another ActiveX container to see the frames. The script sets what a form would set,
' starts playback and reads the state back.
Option Explicit
If WScript.Arguments.Count < 1 Then
    WScript.Echo "usage: cscript //nologo play.vbs FOLDER [PREFIX]"
    WScript.Quit 2
End If

Dim movie : Set movie = CreateObject("MOVITREL.MovitrelCtrl.1")
movie.Sort = 1                       ' by the number in the file name
If WScript.Arguments.Count > 1 Then movie.BaseFile = WScript.Arguments(1)
movie.Delay = 100                    ' milliseconds between frames
movie.Loop = True
movie.BackColor = &H8000000F         ' a system colour: the button face
movie.Dir = WScript.Arguments(0)     ' a new folder stops playback and rescans
movie.Command = 1                    ' Play

WScript.Echo "playing " & movie.Dir & ": Command " & movie.Command & ", Loop " & movie.Loop & _
             ", Delay " & movie.Delay
movie.Command = 7                    ' Stop, which also clears Loop
WScript.Echo "stopped: Command " & movie.Command & ", Loop " & movie.Loop
