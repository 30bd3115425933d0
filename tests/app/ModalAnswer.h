#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

// Answers the modal windows a command opens, from inside their nested loops: armed before the
// click, it sees every modal window as it is shown, records it and runs the next answer once the
// window's own loop runs. A modal window with no answer left is closed at once and recorded as
// unexpected; one that an answer leaves open for the watchdog time is closed the same way, so a
// test fails instead of hanging.
class ModalAnswer : public QObject {
public:
    struct Seen {
        QString className;
        QString title;
        QString text;
    };
    using Answer = std::function<void(QWidget*)>;

    explicit ModalAnswer(int watchdogMs = 20000) : m_watchdogMs(watchdogMs) {
        qApp->installEventFilter(this);
    }
    ~ModalAnswer() override { qApp->removeEventFilter(this); }

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

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Show || event->spontaneous() || !object->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(object);
        if (!widget->isWindow() || !widget->isModal())
            return false;
        m_shown.emplace_back(widget);
        // Answered from the window's own loop: a dialog closed before its exec() loop runs
        // would leave that loop waiting for ever.
        QMetaObject::invokeMethod(
            this, [this] { answerShown(); }, Qt::QueuedConnection);
        return false;
    }

private:
    // Answers the topmost modal window if it was shown and not yet answered. A window under
    // another modal one waits for its turn: the next show or answer looks again.
    void answerShown() {
        QWidget* top = QApplication::activeModalWidget();
        std::erase_if(m_shown, [](const QPointer<QWidget>& w) { return !w || !w->isVisible(); });
        const auto it = std::find(m_shown.begin(), m_shown.end(), top);
        if (!top || it == m_shown.end())
            return;
        m_shown.erase(it);
        Seen s = describe(top);
        if (m_answers.empty()) {
            closeUnexpected(top, s);
        } else {
            m_seen.push_back(s);
            Answer answer = std::move(m_answers.front());
            m_answers.pop_front();
            watch(top);
            answer(top);
        }
        if (!m_shown.empty())
            QMetaObject::invokeMethod(
                this, [this] { answerShown(); }, Qt::QueuedConnection);
    }

    // The hang guard: the answered window must be gone (or shown anew) within the watchdog time.
    void watch(QWidget* window) {
        const int showing = m_showings[window] = m_showings.value(window) + 1;
        QTimer::singleShot(m_watchdogMs, this, [this, guard = QPointer<QWidget>(window), showing] {
            if (guard && guard->isVisible() && m_showings.value(guard) == showing)
                closeUnexpected(guard, describe(guard));
        });
    }

    static Seen describe(QWidget* modal) {
        Seen s{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), {}};
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            s.text = box->text();
        return s;
    }

    void closeUnexpected(QWidget* modal, const Seen& s) {
        ++m_unexpected;
        m_seen.push_back(s);
        if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
        else
            modal->close();
    }

    std::deque<Answer> m_answers;
    std::vector<Seen> m_seen;
    std::vector<QPointer<QWidget>> m_shown; // shown and not yet answered
    QHash<const QWidget*, int> m_showings;  // answers given to each window, for the watchdog
    int m_unexpected = 0;
    int m_watchdogMs;
};
