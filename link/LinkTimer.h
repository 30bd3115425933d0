#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

// Milliseconds of a monotonic clock, wrapping at 2^32 as GetTickCount does.
using TickClock = std::function<uint32_t()>;

// A timer the link's classes are handed instead of making their own, so that a test can fire
// it by hand. onTimeout runs on the thread of the event loop, as a window's timer message would.
class LinkTimer {
public:
    virtual ~LinkTimer() = default;
    // Starts, or starts again, with a period of ms.
    virtual void start(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

    std::function<void()> onTimeout;
};

// The timer of the running program: a precise QTimer.
class SystemTimer final : public LinkTimer {
public:
    enum class Mode { Repeating, SingleShot };
    explicit SystemTimer(Mode mode);

    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
