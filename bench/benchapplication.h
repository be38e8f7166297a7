#pragma once

#include <QApplication>
#include <chrono>
#include <functional>

// The QApplication of a probe process. It notes when a repaint of one watched window has been
// delivered completely: the end of the event that carried the window's paint events (an expose
// or an update request), so after every widget was painted and the picture flushed.

namespace relaybox::bench {

class BenchApplication : public QApplication
{
public:
    using Painted = std::function<void(std::chrono::steady_clock::time_point)>;

    BenchApplication();

    void watch(QWidget *window, Painted painted);
    bool notify(QObject *receiver, QEvent *event) override;

private:
    QWidget *m_window = nullptr;
    Painted m_painted;
    int m_depth = 0;
    int m_paintCarrier = 0; // the delivery depth whose end completes a repaint; 0 = none pending
};

// Runs the event loop until `done` holds or `timeout` passes; false on the time-out.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout);
// Runs the event loop for `duration`.
void runEvents(std::chrono::milliseconds duration);

} // namespace relaybox::bench
