#pragma once

// The program entry of the window: start-up, splash, main window, message loop.
int runProgram(int argc, char** argv);
