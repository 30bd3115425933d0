#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every command of the main window runs through runCommand: an error the command does not catch
// ends it, and its message is shown in the standard error box; the program goes on.
namespace command {

void runCommand(QWidget* parent, const std::function<void()>& body);

// The standard error box: caption "Error", one OK button.
void showError(QWidget* parent, const QString& message);

// A modal message box with a fixed caption; returns the button pressed.
QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);

} // namespace command
