#include "standardstreams.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#endif

// The lowest free descriptor is the one open() returns, so taking them in
// order fills each gap with its own number. On Windows a port or a file is
// a handle, never one of these numbers.
void openClosedStandardStreams()
{
#ifdef Q_OS_UNIX
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    }
#endif
}
