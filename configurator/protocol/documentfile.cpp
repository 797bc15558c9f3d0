#include "documentfile.h"

#include <QFile>
#include <QSaveFile>

std::optional<QByteArray> readDocumentFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

// QSaveFile buffers what is written and reports a failed write, such as a
// full disk, only when it is flushed before commit(); commit() alone would
// put a cut-short file in the old one's place. Uncommitted, the temporary
// file goes with the QSaveFile.
bool writeDocumentFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}
