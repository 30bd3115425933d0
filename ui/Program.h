#pragma once

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm4;

// The windows of the program, created once at start-up and kept for the whole run.
struct Program {
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    Program();
    ~Program();
};

struct StartOptions {
    int splashMs = 3000; // how long the splash stays; 0 or less: no splash at all
};

// The start-up without the message loop: application title, the windows in their order, the
// splash (modal, closes by itself), then the main window shown maximised.
std::unique_ptr<Program> startUp(const StartOptions& options);

// The program entry of the window: start-up, then the message loop until the main window is
// closed or "Выход" ends it. KV_SPLASH_MS in the environment overrides the splash time.
int runProgram(int argc, char** argv);
