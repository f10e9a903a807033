// The control from JScript under cscript: defaults, every property set and read back, and the
// errors automation reports. Prints PASS and quits with 0 only when every check held.
var failures = 0;
function check(what, actual, expected) {
    if (actual !== expected) {
        WScript.Echo("FAIL " + what + ": got " + actual + " (" + typeof actual + "), expected " +
                     expected);
        failures++;
    }
}
function fails(what, action) {
    try {
        action();
    } catch (e) {
        return;
    }
    WScript.Echo("FAIL " + what + ": no error");
    failures++;
}

var ctl = new ActiveXObject("MOVITREL.MovitrelCtrl.1");

// Defaults, and their types: strings, booleans and numbers as automation carries them.
check("BaseFile", ctl.BaseFile, "");
check("Buttons", ctl.Buttons, true);
check("Command", ctl.Command, 0);
check("Delay", ctl.Delay, 500);
check("Dir", ctl.Dir, "");
check("Loop", ctl.Loop, false);
check("Maximize", ctl.Maximize, false);
check("Pause", ctl.Pause, false);
check("PictureBackColor", ctl.PictureBackColor, 0);
check("Slider", ctl.Slider, true);
check("Sort", ctl.Sort, 0);
// COLOR_WINDOW as a system colour, its bits as a signed Long.
check("BackColor", ctl.BackColor, 0x80000005 - 0x100000000);
check("CacheSize", ctl.CacheSize, 256);
check("Watch", ctl.Watch, false);
check("Bounce", ctl.Bounce, false);
check("LastDelay", ctl.LastDelay, 0);
check("DecodeToFit", ctl.DecodeToFit, false);

// The playback options take what they are given and change nothing else.
ctl.CacheSize = 64;
ctl.Watch = true;
ctl.Bounce = true;
ctl.LastDelay = 700;
ctl.DecodeToFit = true;
check("CacheSize set", ctl.CacheSize, 64);
check("Watch set", ctl.Watch, true);
check("Bounce set", ctl.Bounce, true);
check("LastDelay set", ctl.LastDelay, 700);
check("DecodeToFit set", ctl.DecodeToFit, true);
check("Command after the options", ctl.Command, 0);

// Pause cannot change while no command is set.
ctl.Pause = true;
check("Pause while Command is 0", ctl.Pause, false);

ctl.Delay = 120;
ctl.Buttons = false;
ctl.Slider = false;
ctl.Maximize = true;
ctl.PictureBackColor = 0x00FF8040;
ctl.BackColor = 0x8000000F;  // a Double above 2^31: the bits of COLOR_BTNFACE
ctl.Loop = true;
ctl.Command = 1;
ctl.Pause = true;
check("Delay set", ctl.Delay, 120);
check("Buttons set", ctl.Buttons, false);
check("Slider set", ctl.Slider, false);
check("Maximize set", ctl.Maximize, true);
check("PictureBackColor set", ctl.PictureBackColor, 0x00FF8040);
check("BackColor set", ctl.BackColor, 0x8000000F - 0x100000000);
check("Loop set", ctl.Loop, true);
check("Command set", ctl.Command, 1);
check("Pause set", ctl.Pause, true);

// A new file selection stops playback: Command back to 0, Pause cleared.
ctl.Dir = "C:\\frames";
check("Dir set", ctl.Dir, "C:\\frames");
check("Command after Dir", ctl.Command, 0);
check("Pause after Dir", ctl.Pause, false);
ctl.Command = 2;
ctl.BaseFile = "img";
check("BaseFile set", ctl.BaseFile, "img");
check("Command after BaseFile", ctl.Command, 0);
ctl.Command = 4;
ctl.Sort = 2;
check("Sort set", ctl.Sort, 2);
check("Command after Sort", ctl.Command, 0);
// Stop clears Loop.
ctl.Command = 7;
check("Command Stop", ctl.Command, 7);
check("Loop after Stop", ctl.Loop, false);
// Any 16-bit value is stored.
ctl.Command = -32768;
check("Command -32768", ctl.Command, -32768);

fails("unknown name", function () { ctl.NoSuchProperty = 1; });
fails("Command beyond 16 bits", function () { ctl.Command = 70000; });
fails("Sort beyond 16 bits", function () { ctl.Sort = -40000; });
fails("Delay of the wrong type", function () { ctl.Delay = "soon"; });
fails("BackColor beyond 32 bits", function () { ctl.BackColor = 0x100000000; });
check("Command unchanged by the failures", ctl.Command, -32768);

if (failures == 0) WScript.Echo("PASS props.js");
WScript.Quit(failures == 0 ? 0 : 1);
