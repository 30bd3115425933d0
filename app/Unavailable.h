#pragma once

#include <QString>

class QWidget;

// Tells the user that a command is not part of this build yet.
void commandNotAvailable(QWidget* parent, const QString& caption);
