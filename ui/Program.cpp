#include "ui/Program.h"

#include "core/QtTranslations.h"
#include "ui/ImageList.h"
#include "ui/TForm1.h"
#include "ui/TForm2.h"
#include "ui/TForm3.h"
#include "ui/TForm4.h"
#include "ui/TForm5.h"

#include <QApplication>

Program::Program() = default;
Program::~Program() = default;

std::unique_ptr<Program> startUp(const StartOptions& options) {
    installQtTranslations();
    // Every window and dialog of the program, the about box among them, shows the program's icon.
    QApplication::setWindowIcon(applicationIcon());
    TForm1::setApplicationTitle(TForm1::StartUpTitle);

    auto program = std::make_unique<Program>();
    TForm1::Collaborators collaborators;
    if (options.portLister)
        collaborators.portLister = options.portLister;
    if (options.winHelpViewer)
        collaborators.winHelpViewer = options.winHelpViewer;
    program->Form1 = std::make_unique<TForm1>(std::move(collaborators));
    program->Form2 = std::make_unique<TForm2>();
    program->Form2->setTitleAccess(&TForm1::applicationTitle, &TForm1::setApplicationTitle);
    program->Form3 = new TForm3(program->Form1->views(), program->Form1.get());
    program->Form4 = std::make_unique<TForm4>();
    program->Form1->setDialogs({program->Form2.get(), program->Form3, program->Form4.get()});

    if (options.splashMs > 0) {
        TForm5 splash(options.splashMs);
        splash.exec();
    }

    program->Form1->show();
    return program;
}

int runProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    // The desktop entry the installed program is started from (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.morvalen.kvarnel_ld5"));
    StartOptions options;
    bool ok = false;
    const int splashMs = qEnvironmentVariableIntValue("KV_SPLASH_MS", &ok);
    if (ok)
        options.splashMs = splashMs;
    std::unique_ptr<Program> program = startUp(options);
    return app.exec();
}
