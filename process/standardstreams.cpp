#include "standardstreams.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#endif

// The lowest free descriptor is the one open() returns, so taking them in
// order fills each gap with its own number. Opened for reading only, an
// output stream that was closed still fails every write, as it did, rather
// than take the program's output without a word. On Windows a port or a
// file is a handle, never one of these numbers.
void openClosedStandardStreams()
{
#ifdef Q_OS_UNIX
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", O_RDONLY);
    }
#endif
}
