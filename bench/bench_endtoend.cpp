// The read-back seen by a user: from building the main window to all three
// tabs filled, over a pseudo-terminal with the simulated module in the same
// process, against a bare round trip of the same request and reply bytes over
// the same kind of line and the same event loop.

#include "mainwindow.h"
#include "serviceprotocol.h"
#include "simulatedline.h"

#include <QApplication>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The simulated module's line and an open serial port on it, kept for all
// iterations.
struct Line {
    bool open()
    {
        if (!simulated.open())
            return false;
        port.setPortName(simulated.path());
        return port.open(QIODevice::ReadWrite);
    }

    SimulatedLine simulated;
    QSerialPort port;
};

// The widgets need an application object. The first benchmark makes it, on
// the offscreen platform, and it lives until the process ends.
void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_endtoend";
    static char *argv[] = { name, nullptr };
    new QApplication(argc, argv);
}

template<typename Done>
void runEventsUntil(Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct ReadBackTimes {
    double constructor = 0;
    double total = 0;
};

// Builds the window and runs the event loop until its channel has had every
// reply of the read-back; the window is destroyed outside the time taken.
ReadBackTimes readBack(Line &line, const QSerialPortInfo &info)
{
    const Clock::time_point start = Clock::now();
    MainWindow window(info, &line.port);
    const Clock::time_point built = Clock::now();
    bool complete = false;
    QObject::connect(&window, &MainWindow::readBackCompleted, [&] { complete = true; });
    runEventsUntil([&] { return complete; });
    const Clock::time_point filled = Clock::now();
    return { std::chrono::duration<double>(built - start).count(),
             std::chrono::duration<double>(filled - start).count() };
}

// The three read requests, written as the window writes them.
void sendReadRequests(QSerialPort &port)
{
    port.write(encodeRequest(FrameType::ModuleInfo));
    port.write(encodeRequest(FrameType::Rs232cSyncFrom));
    port.write(encodeRequest(FrameType::UsbtmcSyncFrom));
    port.flush();
}

QByteArray readReplies(QSerialPort &port, int size)
{
    QByteArray replies;
    runEventsUntil([&] {
        replies += port.readAll();
        return replies.size() >= size;
    });
    return replies;
}

// One unmeasured read-back first, so that one-time costs (fonts, styles)
// fall on the cold start, which is measured on its own. The constructor's
// share of the time is reported as a counter, in milliseconds.
void windowReadBack(benchmark::State &state)
{
    ensureApplication();
    Line line;
    if (!line.open()) {
        state.SkipWithError("cannot open a pseudo-terminal");
        return;
    }
    // The selection dialog hands the port's information to the window.
    const QSerialPortInfo info(line.port);
    readBack(line, info);
    double constructorSeconds = 0;
    for (auto _ : state) {
        const ReadBackTimes times = readBack(line, info);
        state.SetIterationTime(times.total);
        constructorSeconds += times.constructor;
    }
    state.counters["constructor_ms"] = benchmark::Counter(constructorSeconds * 1000, benchmark::Counter::kAvgIterations);
}

// The first, unmeasured round trip counts the bytes the module answers with.
void bareRoundTrip(benchmark::State &state)
{
    ensureApplication();
    Line line;
    if (!line.open()) {
        state.SkipWithError("cannot open a pseudo-terminal");
        return;
    }
    int replies = 0;
    int replyBytes = 0;
    const auto counting = QObject::connect(&line.simulated.module(), &SimulatedModule::replySent, [&](const QByteArray &frame) {
        ++replies;
        replyBytes += frame.size();
    });
    sendReadRequests(line.port);
    runEventsUntil([&] { return replies == 3 && line.port.bytesAvailable() >= replyBytes; });
    line.port.readAll();
    QObject::disconnect(counting);

    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        sendReadRequests(line.port);
        const QByteArray bytes = readReplies(line.port, replyBytes);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (bytes.size() != replyBytes) {
            state.SkipWithError("the replies did not come back whole");
            break;
        }
    }
    state.counters["reply_bytes"] = replyBytes;
}

BENCHMARK(windowReadBack)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(bareRoundTrip)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
