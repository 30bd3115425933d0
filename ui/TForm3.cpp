#include "ui/TForm3.h"

#include "grid/ui/DBGridPro.h"
#include "ui/ModeViews.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <algorithm>

namespace {

QFont pixelFont(QFont font, int pixels) {
    font.setPixelSize(pixels);
    return font;
}

QRadioButton* radio(const QString& name, const QString& text, QWidget* parent, const QRect& geometry) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    // The design widths suit the design font; a wider font must not cut the text.
    const int room = parent->width() - geometry.x() - 4;
    button->resize(std::min(room, std::max(geometry.width(), button->sizeHint().width())), geometry.height());
    return button;
}

QPushButton* push(const QString& name, const QString& text, QWidget* parent, const QRect& geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TForm3::TForm3(ModeViews& views, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_views(views) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Формат данных"));
    setFixedSize(295, 207);
    setFont(pixelFont(font(), 11));

    GroupBox1 = new QGroupBox(QStringLiteral("Виброускорение и виброскорость"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 277, 77);
    GroupBox1->setFont(pixelFont(font(), 13));
    RadioButton1 = radio(QStringLiteral("RadioButton1"), QStringLiteral("Амплитудное"), GroupBox1,
                         QRect(12, 24, 113, 17));
    RadioButton2 = radio(QStringLiteral("RadioButton2"), QStringLiteral("Средне квадратическое"), GroupBox1,
                         QRect(12, 48, 177, 17));

    GroupBox3 = new QGroupBox(QStringLiteral("Перемещение"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(8, 92, 277, 77);
    GroupBox3->setFont(pixelFont(font(), 13));
    RadioButton5 =
        radio(QStringLiteral("RadioButton5"), QStringLiteral("Обычное"), GroupBox3, QRect(12, 24, 113, 17));
    RadioButton6 =
        radio(QStringLiteral("RadioButton6"), QStringLiteral("Полное"), GroupBox3, QRect(12, 48, 177, 17));

    Button2 = push(QStringLiteral("Button2"), QStringLiteral("Ок"), this, QRect(136, 176, 75, 25));
    Button1 = push(QStringLiteral("Button1"), QStringLiteral("Отмена"), this, QRect(216, 176, 75, 25));
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    setTabOrder(RadioButton1, RadioButton2);
    setTabOrder(RadioButton2, RadioButton5);
    setTabOrder(RadioButton5, RadioButton6);
    setTabOrder(RadioButton6, Button1);
    setTabOrder(Button1, Button2);
}

DataFormat::Choice TForm3::choice() const {
    return DataFormat::Choice{RadioButton1->isChecked(), RadioButton5->isChecked()};
}

void TForm3::showEvent(QShowEvent* event) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    FormShow();
    QDialog::showEvent(event);
}

void TForm3::keyPressEvent(QKeyEvent* event) {
    // Neither button is the cancel button: Esc leaves the dialog open.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm3::FormShow() {
    switch (m_views.activePage()) {
    case 0:
        set_but1();
        break;
    case 1:
        set_but2();
        break;
    case 2:
        set_but3();
        break;
    }
}

void TForm3::Button2Click() {
    switch (m_views.activePage()) {
    case 0:
        set_on1();
        break;
    case 1:
        set_on2();
        break;
    case 2:
        set_on3();
        break;
    }
    done(QDialog::Accepted);
}

void TForm3::Button1Click() {
    done(QDialog::Rejected);
}

void TForm3::setButtons(int page) {
    const DBGridPro* grid = m_views.grid(page);
    if (!grid)
        return;
    const DataFormat::Choice c = DataFormat::read(grid->columns());
    (c.amplitude ? RadioButton1 : RadioButton2)->setChecked(true);
    (c.normal ? RadioButton5 : RadioButton6)->setChecked(true);
}

void TForm3::setColumns(int page) {
    DBGridPro* grid = m_views.grid(page);
    if (!grid)
        return;
    std::vector<GridColumn> columns = grid->columns();
    DataFormat::apply(columns, choice(), page);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int width = grid->column(int(i)).width;
        const bool visible = grid->column(int(i)).visible;
        if (width != columns[i].width)
            grid->setColumnWidth(int(i), columns[i].width);
        if (visible != columns[i].visible)
            grid->setColumnVisible(int(i), columns[i].visible);
    }
}
