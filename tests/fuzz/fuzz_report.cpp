// The prepared-report loader. Most damaged files stop at the checksum, so an input whose first
// byte is odd gets its length and CRC-32 set right before it is read: the body parser then sees
// the damage itself. A report that loads must save to the same bytes and paint without harm.
#include "FuzzSupport.h"

#include "core/Error.h"
#include "report/PreparedReport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace {

quint32 crc32(const char* data, qsizetype size) {
    quint32 c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        c ^= quint8(data[i]);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

// magic (4), version (2), body length (4), body, CRC (4)
void sealFrame(QByteArray& file) {
    if (file.size() < 14)
        return;
    const qsizetype body = file.size() - 14;
    qToLittleEndian(quint32(body), file.data() + 6);
    qToLittleEndian(crc32(file.constData() + 10, body), file.data() + 10 + body);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    QByteArray file = fuzz::bytesOf(data + 1, size - 1);
    if (data[0] & 1)
        sealFrame(file);

    report::PreparedReport rep;
    try {
        rep = report::PreparedReport::deserialize(file);
    } catch (const KvError&) {
        return 0;
    }
    if (rep.serialize() != file)
        fuzz::fail("a loaded report does not save to the bytes it came from");

    (void)rep.find(QStringLiteral("a"));
    // Painting is costly; a small page of a small report is enough to reach the item code.
    if (rep.pageCount() > 0 && rep.pages.front().items.size() <= 16) {
        QImage target(64, 64, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        rep.paintPage(painter, 0, QPointF(0, 0), 0.25);
    }
    return 0;
}
