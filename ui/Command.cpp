#include "ui/Command.h"

#include "core/Error.h"

namespace command {

void runCommand(QWidget* parent, const std::function<void()>& body) {
    try {
        body();
    } catch (const KvError& e) {
        showError(parent, e.message());
    } catch (const std::exception& e) {
        showError(parent, QString::fromLocal8Bit(e.what()));
    }
}

void showError(QWidget* parent, const QString& text) {
    message(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}

QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                    const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace command
