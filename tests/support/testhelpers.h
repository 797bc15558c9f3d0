#ifndef TESTHELPERS_H
#define TESTHELPERS_H

#include <QByteArray>
#include <QString>

// Small helpers that the tests of several areas share.

// Bytes from hexadecimal digits, such as "4d300100".
QByteArray hex(const char *digits);

// Writes the bytes to the file, or ends the test program.
void writeFile(const QString &path, const QByteArray &bytes);
// The file's content, or nothing when it cannot be read.
QByteArray contents(const QString &path);

// The CPU time this process has used so far, in seconds.
double processCpuSeconds();

#endif // TESTHELPERS_H
