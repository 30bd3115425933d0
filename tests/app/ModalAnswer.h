#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

// Answers the modal windows a command opens, from inside their nested loops: armed before the
// click, it polls QApplication::activeModalWidget(), records what it saw and runs the next answer.
// A modal window nobody expected, or one still open after the watchdog time, is closed and
// recorded as unexpected, so a test fails instead of hanging.
class ModalAnswer : public QObject {
public:
    struct Seen {
        QString className;
        QString title;
        QString text;
    };
    using Answer = std::function<void(QWidget*)>;

    explicit ModalAnswer(int watchdogMs = 5000) : m_watchdogMs(watchdogMs) {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
        m_clock.start();
    }

    // Presses a button of the next message box.
    ModalAnswer& press(QMessageBox::StandardButton button) {
        m_answers.push_back([button](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                if (QAbstractButton* b = box->button(button)) {
                    b->click();
                    return;
                }
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
        });
        return *this;
    }
    // Runs an answer of the test's own on the next modal window (it must close the window).
    ModalAnswer& then(Answer answer) {
        m_answers.push_back(std::move(answer));
        return *this;
    }

    const std::vector<Seen>& seen() const { return m_seen; }
    int unexpected() const { return m_unexpected; }
    bool allAnswered() const { return m_answers.empty(); }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            for (const QPointer<QWidget>& w : m_marked)
                if (w)
                    w->setProperty("kvSeen", false);
            m_marked.clear();
            m_clock.restart();
            return;
        }
        // A box opened right after another may take its address: a mark tells them apart.
        if (!modal->property("kvSeen").toBool()) {
            modal->setProperty("kvSeen", true);
            m_marked.emplace_back(modal);
            m_clock.restart();
            if (!m_answers.empty()) {
                Seen s{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
                if (auto* box = qobject_cast<QMessageBox*>(modal))
                    s.text = box->text();
                m_seen.push_back(s);
                Answer answer = std::move(m_answers.front());
                m_answers.pop_front();
                QPointer<QWidget> guard(modal);
                answer(modal);
                // A dialog kept for the whole run may be shown again before the next poll.
                if (guard && !guard->isVisible())
                    guard->setProperty("kvSeen", false);
                return;
            }
        }
        if (m_answers.empty() && m_clock.elapsed() > 50)
            closeUnexpected(modal);
        else if (m_clock.elapsed() > m_watchdogMs)
            closeUnexpected(modal);
    }

    void closeUnexpected(QWidget* modal) {
        ++m_unexpected;
        Seen s{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            s.text = box->text();
        m_seen.push_back(s);
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
        else
            modal->close();
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<Answer> m_answers;
    std::vector<Seen> m_seen;
    std::vector<QPointer<QWidget>> m_marked;
    int m_unexpected = 0;
    int m_watchdogMs;
};
