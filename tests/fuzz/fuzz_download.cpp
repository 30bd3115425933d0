// The download protocol fed what a noisy serial line may bring: the input is a script of
// operations (chunks of received characters, the clock moving on, "Отмена", a new start). What a
// message box's nested loop would deliver after a failure is just the next operation.
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
    explicit FuzzHost(const int64_t& now) : m_now(now) {}
    int ends = 0;

    QString portName() const override { return m_port; }
    void setPortName(const QString& name) override { m_port = name; }
    bool openPort() override {
        // Bit 7 of the first script byte refuses COM2, as a missing second port would.
        m_open = !(m_refuseCom2 && m_port == DownloadProtocol::portCom2());
        return m_open;
    }
    void closePort() override { m_open = false; }
    bool writeByte(uint8_t) override { return m_open; }
    void startAnswerTimer(int ms) override {
        m_timerRunning = true;
        m_timerDue = m_now + ms;
    }
    void stopAnswerTimer() override { m_timerRunning = false; }
    void setRefuseCom2(bool on) { m_refuseCom2 = on; }
    // The single-shot answer timer, run on the script's clock.
    bool expire() {
        if (!m_timerRunning || m_now < m_timerDue)
            return false;
        m_timerRunning = false;
        return true;
    }

    void check(const DownloadProtocol::Events& events) {
        for (size_t i = 0; i < events.size(); ++i) {
            const DownloadProtocol::Event& e = events[i];
            if (const auto* p = std::get_if<DownloadProtocol::Progress>(&e);
                p && (p->percent < 0 || p->percent > 100))
                fuzz::fail("progress outside 0..100");
            const bool end = std::holds_alternative<DownloadProtocol::Failed>(e) ||
                             std::holds_alternative<DownloadProtocol::Finished>(e);
            if (end && i + 1 != events.size())
                fuzz::fail("a report after the end of the download");
            if (end && m_open)
                fuzz::fail("the port left open at the end");
            ends += end;
        }
    }

private:
    const int64_t& m_now;
    QString m_port = DownloadProtocol::portCom1();
    bool m_open = false;
    bool m_refuseCom2 = false;
    bool m_timerRunning = false;
    int64_t m_timerDue = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script script(data, size);
    int64_t now = 0;
    FuzzHost host(now);
    DownloadProtocol protocol(host, [&now] { return now; });
    host.setRefuseCom2(script.byte() & 0x80);
    protocol.start();

    int starts = 1;
    while (!script.atEnd()) {
        const uint8_t op = script.byte();
        switch (op >> 5) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: { // a chunk of up to 255 characters
            auto [p, n] = script.chunk(script.byte());
            host.check(protocol.receive(p, n));
            break;
        }
        case 5: // the clock moves on; the answer timer and the driver's 50 ms polling look at it
            now += int64_t(op & 0x1F) * 250;
            if (host.expire())
                host.check(protocol.answerTimeout());
            host.check(protocol.watchLine());
            break;
        case 6:
            host.check(protocol.cancel());
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
    if (host.ends > starts)
        fuzz::fail("an end reported more often than a download started");
    protocol.close();
    return 0;
}
