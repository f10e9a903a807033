// Plays the .jpg frames of a folder with the Movitrel control from JScript:
//   cscript //nologo play.js C:\frames [prefix]
// A script gives the control no window, so nothing is drawn here: place the control on a form
// or in another ActiveX container to see the frames. The script sets what a form would set,
// starts playback and reads the state back.
var args = WScript.Arguments;
if (args.length < 1) {
    WScript.Echo("usage: cscript //nologo play.js FOLDER [PREFIX]");
    WScript.Quit(2);
}
var movie = new ActiveXObject("MOVITREL.MovitrelCtrl.1");
movie.Sort = 1;                // by the number in the file name
if (args.length > 1) movie.BaseFile = args(1);
movie.Delay = 100;             // milliseconds between frames
movie.Loop = true;
movie.BackColor = 0x8000000F;  // a system colour: the button face
movie.Dir = args(0);           // a new folder stops playback and rescans
movie.Command = 1;             // Play
WScript.Echo("playing " + movie.Dir + ": Command " + movie.Command + ", Loop " + movie.Loop +
             ", Delay " + movie.Delay);
movie.Command = 7;             // Stop, which also clears Loop
WScript.Echo("stopped: Command " + movie.Command + ", Loop " + movie.Loop);
