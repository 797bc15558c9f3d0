#ifndef DOCUMENTFILE_H
#define DOCUMENTFILE_H

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

// Settings documents as files, read and written alike by every program.

// A document is a few hundred bytes; anything larger is refused unread.
constexpr qint64 MaxDocumentSize = 64 * 1024;

// The file's whole content, or nothing with the reason in error.
std::optional<QByteArray> readDocumentFile(const QString &path, QString *error);
// The same from an open device, such as standard input.
std::optional<QByteArray> readDocument(QIODevice &device, QString *error);

// Writes the bytes to the file. A regular file, or one that does not exist
// yet, is replaced as one step through a temporary file, keeping its mode:
// a failure at any point, a full disk included, leaves it as it was. Any
// other existing file (a device, a pipe, a link to one) is written into as
// it is, never replaced. On failure error says why.
bool writeDocumentFile(const QString &path, const QByteArray &bytes, QString *error);

#endif // DOCUMENTFILE_H
