#include "link/DownloadTexts.h"

namespace downloadtext {
namespace {

QString damage(DownloadProtocol::Damage damage) {
    using Damage = DownloadProtocol::Damage;
    switch (damage) {
    case Damage::Overlong:
        return QStringLiteral("принято более %1 знаков без маркера конца").arg(DownloadProtocol::BufferSize);
    case Damage::EndMarkerLost:
        return QStringLiteral("маркер конца не сохранился в буфере приема");
    case Damage::NoStartMarker:
        return QStringLiteral("нет маркера начала перед маркером конца");
    case Damage::OddCount:
        return QStringLiteral("нечетное число знаков между маркерами");
    case Damage::ImageTooLong:
        return QStringLiteral("образ памяти длиннее %1 байт").arg(image::kImageSize);
    case Damage::None:
        break;
    }
    return {};
}

QString portLine(const DownloadProtocol::PortTried& port) {
    QString why = QStringLiteral("нет ответа");
    if (!port.opened)
        why = port.openFailure.isEmpty() ? QStringLiteral("порт не открыт") : port.openFailure;
    return port.label + QStringLiteral(": ") + why;
}

} // namespace

const QString& waiting() {
    static const QString text = QStringLiteral("Ожидание готовности прибора ...");
    return text;
}

const QString& receiving() {
    static const QString text = QStringLiteral("Идет прием информации ...");
    return text;
}

const QString& instrumentName() {
    static const QString text = QStringLiteral("Кварнел-ЛД5");
    return text;
}

QString caption(int percent) {
    return QString::number(percent) + QStringLiteral("% - Прием данных");
}

const QString& lineLost() {
    static const QString text =
        QStringLiteral("Связь с прибором прервана. Данные не приняты, ничего не изменено.");
    return text;
}

QString failure(const DownloadProtocol::Failed& failed) {
    using Failure = DownloadProtocol::Failure;
    switch (failed.reason) {
    case Failure::Cancelled:
        break;
    case Failure::NotFound: {
        QString text =
            QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
        for (const DownloadProtocol::PortTried& port : failed.ports)
            text += QLatin1Char('\n') + portLine(port);
        return text;
    }
    case Failure::WrongInstrument:
        return QStringLiteral("Вы подключили не тот прибор !");
    case Failure::UnknownVersion:
        return QStringLiteral("Неизвестная или новая версия прибора !");
    case Failure::Damaged:
        return QStringLiteral("Данные приняты с искажениями (%1). Ничего не изменено.")
            .arg(damage(failed.damage));
    case Failure::LineLost:
        return lineLost();
    }
    return {};
}

} // namespace downloadtext
