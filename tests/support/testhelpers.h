#ifndef TESTHELPERS_H
#define TESTHELPERS_H

#include <QByteArray>
#include <QString>

// Small helpers that the tests of several areas share.

// Bytes from hexadecimal digits, such as "4d300100".
QByteArray hex(const char *digits);

// The three read requests of a read-back, as the module receives them.
inline const QByteArray ReadBackRequests = QByteArray::fromHex("4d300100" "4d300300" "4d300500");

// Writes the bytes to the file, or ends the test program.
void writeFile(const QString &path, const QByteArray &bytes);
// The file's content, or nothing when it cannot be read.
QByteArray contents(const QString &path);

// The CPU time this process has used so far, in seconds.
double processCpuSeconds();

#endif // TESTHELPERS_H
