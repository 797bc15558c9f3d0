#ifndef DOCUMENTFILE_H
#define DOCUMENTFILE_H

#include <QByteArray>
#include <QString>

#include <optional>

// Settings documents as files, read and written alike by every program.

// The file's whole content, or nothing with the reason in error.
std::optional<QByteArray> readDocumentFile(const QString &path, QString *error);

// Replaces the file with the bytes as one step: a failure at any point, a
// full disk included, leaves the file as it was, and error says why.
bool writeDocumentFile(const QString &path, const QByteArray &bytes, QString *error);

#endif // DOCUMENTFILE_H
