// The download protocol fed what a noisy serial line may bring: the input is a script of
// operations (chunks of received characters, the clock moving on, "Отмена", a new start), and
// a modal message may deliver further chunks while it is shown, as the dialog's nested loop does.
#include "FuzzSupport.h"

#include "link/DownloadProtocol.h"

#include <QCoreApplication>

namespace {

class Script {
public:
    Script(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    // Up to n bytes from the script as one chunk.
    std::pair<const char*, uint32_t> chunk(size_t n) {
        n = std::min(n, m_size - m_pos);
        const char* p = reinterpret_cast<const char*>(m_data + m_pos);
        m_pos += n;
        return {p, uint32_t(n)};
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class FuzzHost : public DownloadHost {
public:
    explicit FuzzHost(Script& script) : m_script(script) {}
    DownloadProtocol* protocol = nullptr;
    bool timerRunning = false;
    int finishedCalls = 0;

    QString portName() const override { return m_port; }
    void setPortName(const QString& name) override { m_port = name; }
    bool openPort() override {
        // Bit 7 of the first script byte refuses COM2, as a missing second port would.
        m_open = !(m_refuseCom2 && m_port == DownloadProtocol::portCom2());
        return m_open;
    }
    void closePort() override { m_open = false; }
    bool writeByte(uint8_t) override { return m_open; }
    void startAnswerTimer(int) override { timerRunning = true; }
    void stopAnswerTimer() override { timerRunning = false; }
    void showProgress(int percent) override {
        if (percent < 0 || percent > 100)
            fuzz::fail("progress outside 0..100");
    }
    void showCaption(const QString&) override {}
    void showTitle(const QString&) override {}
    void showStatus(const QString&) override {}
    void showInstrument(const QString&, const QString&) override {}
    void showRecordCount(const QString&) override {}
    void showMessage(Message, const QString&) override {
        // The message box's nested loop: the port may deliver more while it is open.
        if (m_depth < 3 && !m_script.atEnd() && (m_script.byte() & 1)) {
            ++m_depth;
            auto [p, n] = m_script.chunk(m_script.byte());
            protocol->receive(p, n);
            --m_depth;
        }
    }
    void finished(bool) override { ++finishedCalls; }
    void setRefuseCom2(bool on) { m_refuseCom2 = on; }

private:
    Script& m_script;
    QString m_port = DownloadProtocol::portCom1();
    bool m_open = false;
    bool m_refuseCom2 = false;
    int m_depth = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script script(data, size);
    FuzzHost host(script);
    int64_t now = 0;
    DownloadProtocol protocol(host, [&now] { return now; });
    host.protocol = &protocol;
    host.setRefuseCom2(script.byte() & 0x80);
    protocol.start();

    int starts = 1;
    while (!script.atEnd()) {
        const uint8_t op = script.byte();
        switch (op >> 5) {
        case 0: case 1: case 2: case 3: case 4: { // a chunk of up to 255 characters
            auto [p, n] = script.chunk(script.byte());
            protocol.receive(p, n);
            break;
        }
        case 5: // the clock moves on, the driver's 50 ms polling looks at it
            now += int64_t(op & 0x1F) * 250;
            protocol.poll();
            break;
        case 6:
            protocol.cancel();
            break;
        case 7:
            if (protocol.state() != DownloadProtocol::State::Running && starts < 4) {
                protocol.close();
                protocol.start();
                ++starts;
            }
            break;
        }
        if (protocol.receivedCount() < 0)
            fuzz::fail("negative received count");
        if (protocol.image().size() > image::kImageSize)
            fuzz::fail("image larger than the instrument's memory");
    }
    if (host.finishedCalls > starts)
        fuzz::fail("finished reported more often than a download started");
    protocol.close();
    return 0;
}
