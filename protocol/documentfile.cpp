#include "documentfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// QSaveFile buffers what is written and reports a failed write, such as a
// full disk, only when it is flushed before commit(); commit() alone would
// put a cut-short file in the old one's place. Uncommitted, the temporary
// file goes with the QSaveFile. The new file gets the old one's mode, which
// QSaveFile does not keep whole, and, where root replaces it, its owner.
bool replaceFile(const QString &path, const QByteArray &bytes, QString *error)
{
#ifdef Q_OS_UNIX
    const QByteArray target = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    struct stat old = {};
    const bool existed = !target.isEmpty() && ::stat(target.constData(), &old) == 0;
#endif
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    if (existed) {
        ::chmod(target.constData(), old.st_mode & 07777);
        if (::geteuid() == 0) {
            [[maybe_unused]] const int owned = ::chown(target.constData(), old.st_uid, old.st_gid);
        }
    }
#endif
    return true;
}

// A reader that leaves a pipe ends the write with an error, not the process.
bool writeInPlace(const QString &path, const QByteArray &bytes, QString *error)
{
#ifdef Q_OS_UNIX
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
#endif
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size();
    if (!written)
        *error = file.errorString();
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, previous);
#endif
    return written;
}

QString notRegularFile()
{
    return QCoreApplication::translate("DocumentFile",
                                       "not a regular file (a folder, a pipe or a device); choose a file");
}

// Opening a pipe or a terminal to read can wait for the other end, and
// opening a serial device can reset what hangs on it: only what shows to be
// a regular file is opened, without waiting, and taken once it still shows
// to be one.
bool openRegularFile(QFile &file, QString *error)
{
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile()) {
        *error = notRegularFile();
        return false;
    }
#ifdef Q_OS_UNIX
    const int descriptor = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    struct stat status;
    if (descriptor < 0) {
        *error = qt_error_string(errno);
        return false;
    }
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        *error = notRegularFile();
        return false;
    }
    return file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#else
    if (file.open(QIODevice::ReadOnly))
        return true;
    *error = file.errorString();
    return false;
#endif
}

} // namespace

std::optional<QByteArray> readDocumentFile(const QString &path, DocumentFiles files, QString *error)
{
    QFile file(path);
    if (files == DocumentFiles::RegularOnly) {
        if (!openRegularFile(file, error))
            return std::nullopt;
    } else if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return readDocument(file, error);
}

// Reads on until the end or one byte past the limit, so that an endless
// source such as /dev/zero is given up at once.
std::optional<QByteArray> readDocument(QIODevice &device, QString *error)
{
    QByteArray bytes;
    while (bytes.size() <= MaxDocumentSize) {
        const QByteArray chunk = device.read(MaxDocumentSize + 1 - bytes.size());
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    if (file && file->error() != QFileDevice::NoError) {
        *error = file->errorString();
        return std::nullopt;
    }
    if (bytes.size() > MaxDocumentSize) {
        *error = QCoreApplication::translate("DocumentFile", "larger than %1 KiB; a settings document is far smaller")
                     .arg(MaxDocumentSize / 1024);
        return std::nullopt;
    }
    return bytes;
}

bool writeDocumentFile(const QString &path, const QByteArray &bytes, DocumentFiles files, QString *error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        if (files == DocumentFiles::Any)
            return writeInPlace(path, bytes, error);
        *error = notRegularFile();
        return false;
    }
    return replaceFile(path, bytes, error);
}
