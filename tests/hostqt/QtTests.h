// The test classes of the Qt container's test program; main runs every one in turn.
#pragma once

int RunMovitrelWidgetTest(int argc, char** argv);
int RunPropertyFrameTest(int argc, char** argv);
int RunBorderTrackerTest(int argc, char** argv);
