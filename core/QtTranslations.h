#pragma once

// Qt's own texts (standard buttons, the print and file dialogs, the reasons of file errors) in
// Russian like every other text of the program, whatever the system's language. Installs once per
// application object; returns whether the translation was found. Without it they stay English.
bool installQtTranslations();
