#include "ui/PortDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int ChoiceRole = Qt::UserRole;
constexpr int ReasonRole = Qt::UserRole + 1;

QString itemText(const serial::PortInfo& port) {
    QString text = port.device;
    QStringList about;
    if (!port.description.isEmpty())
        about << port.description;
    if (!port.maker.isEmpty() && !port.description.contains(port.maker))
        about << port.maker;
    if (!about.isEmpty())
        text += QStringLiteral(" — ") + about.join(QStringLiteral(", "));
    if (port.access != serial::PortInfo::Access::Usable)
        text += QStringLiteral(" (") + port.reason() + QLatin1Char(')');
    return text;
}

} // namespace

QString portChoiceText(const QString& choice) {
    return choice.isEmpty() ? QStringLiteral("Автоматически") : choice;
}

PortDialog::PortDialog(QWidget* parent, std::shared_ptr<const serial::PortLister> lister,
                       const QString& choice)
    : QDialog(parent), m_lister(std::move(lister)), m_choice(choice) {
    setObjectName(QStringLiteral("PortDialog"));
    setWindowTitle(QStringLiteral("Порт прибора"));
    setModal(true);

    PortList = new QListWidget(this);
    PortList->setObjectName(QStringLiteral("PortList"));
    PortList->setMinimumWidth(460);
    ReasonLabel = new QLabel(this);
    ReasonLabel->setObjectName(QStringLiteral("ReasonLabel"));
    ReasonLabel->setWordWrap(true);
    RefreshButton = new QPushButton(QStringLiteral("Обновить"), this);
    RefreshButton->setObjectName(QStringLiteral("RefreshButton"));
    RefreshButton->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    connect(RefreshButton, &QPushButton::clicked, this, [this] { refresh(); });
    connect(PortList, &QListWidget::currentRowChanged, this, [this] { showReason(); });
    connect(PortList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(RefreshButton);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Порт, к которому подключен прибор:"), this));
    layout->addWidget(PortList);
    layout->addWidget(ReasonLabel);
    layout->addLayout(bottom);
    refresh();
}

void PortDialog::refresh() {
    if (PortList->currentItem())
        m_choice = PortList->currentItem()->data(ChoiceRole).toString();
    PortList->clear();
    auto add = [this](const QString& text, const QString& choice, const QString& reason) {
        auto* item = new QListWidgetItem(text, PortList);
        item->setData(ChoiceRole, choice);
        item->setData(ReasonRole, reason);
        return item;
    };
    QListWidgetItem* selected = add(QStringLiteral("Автоматически"), QString(), QString());
    const QList<serial::PortInfo> ports = m_lister ? m_lister->ports() : QList<serial::PortInfo>();
    for (const serial::PortInfo& port : ports) {
        QListWidgetItem* item = add(itemText(port), port.choiceName(), port.reason());
        if (!m_choice.isEmpty() && (m_choice == port.choiceName() || m_choice == port.device))
            selected = item;
    }
    // A port chosen earlier and not plugged in now is still the choice until the user makes another.
    if (!m_choice.isEmpty() && selected->data(ChoiceRole).toString().isEmpty())
        selected = add(m_choice + QStringLiteral(" (не подключен)"), m_choice,
                       QStringLiteral("устройство не найдено"));
    PortList->setCurrentItem(selected);
    showReason();
}

void PortDialog::showReason() {
    const QListWidgetItem* item = PortList->currentItem();
    ReasonLabel->setText(item ? item->data(ReasonRole).toString() : QString());
}

QString PortDialog::choice() const {
    const QListWidgetItem* item = PortList->currentItem();
    return item ? item->data(ChoiceRole).toString() : QString();
}
