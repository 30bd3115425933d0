#pragma once

#include "link/PortList.h"

#include <QString>

#include <functional>
#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm4;

// The windows of the program, created once at start-up and kept for the whole run. The main
// window, which shows the others, is declared last so that it goes first.
struct Program {
    std::unique_ptr<TForm2> Form2;
    TForm3* Form3 = nullptr; // the main window's child: the main window owns it
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<TForm1> Form1;
    Program();
    ~Program();
};

struct StartOptions {
    int splashMs = 3000; // how long the splash stays; 0 or less: no splash at all
    // What the main window is handed instead of the system's own (none: the system's).
    std::shared_ptr<const serial::PortLister> portLister;
    std::function<bool(const QString&)> winHelpViewer;
};

// The start-up without the message loop: application title, the windows in their order, the
// splash (modal, closes by itself), then the main window shown maximised.
std::unique_ptr<Program> startUp(const StartOptions& options);

// The program entry of the window: start-up, then the message loop until the main window is
// closed or "Выход" ends it. KV_SPLASH_MS in the environment overrides the splash time.
int runProgram(int argc, char** argv);
