#ifndef DOCUMENTFILE_H
#define DOCUMENTFILE_H

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;

// Settings documents as files, read and written alike by every program.

// A document is a few hundred bytes; anything larger is refused unread.
constexpr qint64 MaxDocumentSize = 64 * 1024;

// Which files a program reads documents from and writes them to. The window
// takes regular files only, so that a pipe or a device typed into a file
// dialog can never hold it up; the command line also reads a pipe (process
// substitution) and writes into a device or a pipe.
enum class DocumentFiles { RegularOnly, Any };

// The file's whole content, or nothing with the reason in error.
std::optional<QByteArray> readDocumentFile(const QString &path, DocumentFiles files, QString *error);
// The same from an open device, such as standard input.
std::optional<QByteArray> readDocument(QIODevice &device, QString *error);

// Writes the bytes to the file. A regular file, or one that does not exist
// yet, is replaced as one step through a temporary file, keeping its mode:
// a failure at any point, a full disk included, leaves it as it was. Any
// other existing file (a device, a pipe, a link to one) is written into as
// it is, never replaced, where any file is taken. On failure error says why.
bool writeDocumentFile(const QString &path, const QByteArray &bytes, DocumentFiles files, QString *error);

#endif // DOCUMENTFILE_H
