#pragma once

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

// Runs the event loop until a condition holds. Unlike QTRY_*, which sleeps between its rounds,
// this serves the worker's synchronized calls as fast as the program does, so long uploads
// take their real time.
inline bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    check.start();
    if (!done())
        loop.exec();
    return done();
}
