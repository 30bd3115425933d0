#include "link/LinkTimer.h"

SystemTimer::SystemTimer(Mode mode) {
    m_timer.setSingleShot(mode == Mode::SingleShot);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (onTimeout)
            onTimeout();
    });
}
