#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace tavix::bench {

void StderrMessages::information(QWidget*, const QString& title, const QString& text)
{
    std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
}

void StderrMessages::warning(QWidget*, const QString& title, const QString& text)
{
    std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    // An event loop of its own, looking at the condition every few ms, so the benchmark
    // itself does not spin a core while the editor works.
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    bool met = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            met = true;
            loop.quit();
        } else if (clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
    return met;
}

void setEnv(const char* name, const QString& value)
{
    qputenv(name, value.toLocal8Bit());
}

} // namespace tavix::bench
