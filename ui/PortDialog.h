#pragma once

#include "link/PortList.h"

#include <QDialog>

#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

// "Порт прибора…": the port the instrument is looked for on, "Автоматически" or one of the
// machine's ports, with why a port cannot be used where that is known.
class PortDialog : public QDialog {
    Q_OBJECT
public:
    // choice: the stored choice, empty for automatic. A stored port no longer listed stays offered.
    PortDialog(QWidget* parent, std::shared_ptr<const serial::PortLister> lister, const QString& choice);

    // What to store: empty for automatic, else the stable path of the port where it has one.
    QString choice() const;

    QListWidget* PortList = nullptr;
    QPushButton* RefreshButton = nullptr;
    QLabel* ReasonLabel = nullptr;

    // Reads the listing again, keeping the selected port selected.
    void refresh();

private:
    void showReason();

    std::shared_ptr<const serial::PortLister> m_lister;
    QString m_choice;
};

// How the download dialog names the stored choice.
QString portChoiceText(const QString& choice);
