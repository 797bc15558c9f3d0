#include "interruption.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>
#endif

#ifdef Q_OS_LINUX
namespace {

// What the handlers use: plain data and calls that are safe in them.
volatile sig_atomic_t caughtSignal = 0;
int wakeUp[2] = { -1, -1 };
const int Handled[] = { SIGINT, SIGTERM, SIGHUP, SIGALRM };
struct sigaction previous[std::size(Handled)];

// How long the program has, after the signal, to end by itself.
constexpr unsigned GraceSeconds = 2;

void endAsTheSignalWould(int signal)
{
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Standard input becomes /dev/null: a read waiting for an answer, which the
// signal interrupts and Qt starts again, then finds the end of its input.
// Where the program waits on something else that Qt starts again, such as
// a pipe nobody reads, the alarm ends it as the signal would; so does a
// second signal.
void handle(int signal)
{
    const int savedErrno = errno;
    if (signal == SIGALRM || caughtSignal != 0) {
        endAsTheSignalWould(caughtSignal != 0 ? int(caughtSignal) : signal);
        errno = savedErrno;
        return;
    }
    caughtSignal = signal;
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeUp[1], &byte, 1);
    ::alarm(GraceSeconds);
    errno = savedErrno;
}

} // namespace
#endif

Interruption::Interruption()
{
#ifdef Q_OS_LINUX
    if (::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(wakeUp[0], bytes, sizeof bytes) > 0) {
        }
        emit interrupted();
    });
    // Without SA_RESTART, so that a read waiting for an answer is
    // interrupted; each handled signal waits while another is handled.
    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    for (const int signal : Handled)
        sigaddset(&action.sa_mask, signal);
    // A signal the caller ignores, as nohup and a script's trap '' leave
    // SIGHUP and SIGINT, stays ignored.
    for (size_t i = 0; i < std::size(Handled); ++i) {
        sigaction(Handled[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN || Handled[i] == SIGALRM)
            sigaction(Handled[i], &action, nullptr);
    }
#endif
}

Interruption::~Interruption()
{
#ifdef Q_OS_LINUX
    if (!m_notifier)
        return;
    ::alarm(0);
    for (size_t i = 0; i < std::size(Handled); ++i)
        sigaction(Handled[i], &previous[i], nullptr);
    delete m_notifier;
    ::close(wakeUp[0]);
    ::close(wakeUp[1]);
    caughtSignal = 0;
#endif
}

int Interruption::caught() const
{
#ifdef Q_OS_LINUX
    return caughtSignal;
#else
    return 0;
#endif
}

QString Interruption::description() const
{
    return tr("interrupted by %1").arg(signalName(caught()));
}

QString Interruption::signalName(int signal)
{
#ifdef Q_OS_LINUX
    if (signal == SIGINT)
        return "SIGINT";
    if (signal == SIGTERM)
        return "SIGTERM";
    if (signal == SIGHUP)
        return "SIGHUP";
#endif
    return QString("signal %1").arg(signal);
}
