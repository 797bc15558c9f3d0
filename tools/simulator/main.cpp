// zorvel-sim: serves a simulated ZORVEL module on a new pseudo-terminal until
// interrupted. Open the printed path as the service port; every frame that
// passes is printed after it. With --host the module's host side, with an
// instrument behind it, is served on a second pseudo-terminal, whose path
// is the second line.

#include "frametrace.h"
#include "simulatedline.h"
#include "standardstreams.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void configure(SimulatedModule &module, const QCommandLineParser &parser)
{
    ModuleState state = module.state();
    state.hostIsUsb = parser.isSet("usb");
    module.setState(state);
    module.setChunkSize(parser.value("chunk").toInt());
    module.setUnknownFrames(parser.isSet("unknown-frames"));
    module.setShortReplies(parser.isSet("short-replies"));
    module.setSilent(parser.isSet("silent"));
}

// In the trace format of zorvel --verbose, so that the two logs line up.
void logTraffic(SimulatedModule &module, const QString &port)
{
    static QElapsedTimer clock;
    clock.start();
    QObject::connect(&module, &SimulatedModule::requestReceived, [port](const QByteArray &frame) {
        out() << frameTraceLine(clock.elapsed(), port, FrameDirection::ToModule, frame) << Qt::endl;
    });
    QObject::connect(&module, &SimulatedModule::replySent, [port](const QByteArray &frame) {
        out() << frameTraceLine(clock.elapsed(), port, FrameDirection::FromModule, frame) << Qt::endl;
    });
}

// SIGINT and SIGTERM end the program; SIGUSR1 sends a restart notice. The
// signals are taken through a descriptor so that they arrive as events.
int blockedSignals(sigset_t *set)
{
    sigemptyset(set);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, set, nullptr);
    return signalfd(-1, set, SFD_CLOEXEC);
}

} // namespace

int main(int argc, char *argv[])
{
    openClosedStandardStreams();
    sigset_t handled;
    const int signalDescriptor = blockedSignals(&handled);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zorvel-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Serves a simulated ZORVEL module on a new pseudo-terminal until interrupted.\n"
        "Open the printed path as the service port. Send SIGUSR1 for a restart notice, after which the\n"
        "module runs its host side with what it stores.");
    parser.addHelpOption();
    parser.addOptions({
        { "usb", "Report USB (USBTMC) as the module's host interface." },
        { "chunk", "Send replies in pieces of <bytes>, a millisecond apart.", "bytes", "0" },
        { "unknown-frames", "Put a frame of an unknown type before every reply." },
        { "short-replies", "Send read replies one byte shorter than their layout." },
        { "silent", "Receive requests but never answer." },
        { "host", "Serve the module's host side as well, on a second pseudo-terminal whose path is printed on "
                  "the second line. Its instrument answers the identification query while the line settings "
                  "match those the module runs with, which a restart notice brings up to date." },
        { "quiet", "Do not print the frames that pass." },
    });
    parser.process(app);

    SimulatedLine line;
    if (!line.open()) {
        QTextStream(stderr) << "zorvel-sim: cannot open a pseudo-terminal: " << line.errorString() << Qt::endl;
        return 1;
    }
    if (parser.isSet("host") && !line.openHost()) {
        QTextStream(stderr) << "zorvel-sim: cannot open a pseudo-terminal: " << line.errorString() << Qt::endl;
        return 1;
    }
    SimulatedModule &module = line.module();
    configure(module, parser);
    if (!parser.isSet("quiet"))
        logTraffic(module, line.path());

    QSocketNotifier signalNotifier(signalDescriptor, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info = {};
        if (read(signalDescriptor, &info, sizeof info) != sizeof info)
            return;
        if (info.ssi_signo == SIGUSR1) {
            out() << "Sending a restart notice" << Qt::endl;
            module.sendRestartNotice();
        } else {
            QCoreApplication::quit();
        }
    });

    out() << line.path() << Qt::endl;
    if (parser.isSet("host"))
        out() << line.host().path() << Qt::endl;
    const int result = app.exec();
    close(signalDescriptor);
    return result;
}
