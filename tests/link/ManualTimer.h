#pragma once

#include "link/LinkTimer.h"

#include <QList>

#include <functional>

// A link timer that runs only when the test fires it, and writes down how it was started.
class ManualTimer : public LinkTimer {
public:
    explicit ManualTimer(bool singleShot = false) : m_singleShot(singleShot) {}

    void start(int ms) override {
        m_active = true;
        intervals.append(ms);
        if (onStart)
            onStart();
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    // One expiry, as the system timer would deliver it: only while running. False when stopped.
    bool fire() {
        if (!m_active)
            return false;
        if (m_singleShot)
            m_active = false;
        ++fired;
        if (onTimeout)
            onTimeout();
        return true;
    }

    QList<int> intervals; // the period of every start, in order
    int fired = 0;
    std::function<void()> onStart;

private:
    bool m_singleShot;
    bool m_active = false;
};
