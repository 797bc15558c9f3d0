#ifndef PROGRAMFOLDER_H
#define PROGRAMFOLDER_H

#include <QString>

// Files in the folder of the running test program, where the windows look
// for the manual and the driver launcher. Tests that use these run from a
// folder of their own.
QString besideProgram(const QString &relativePath);
bool placeBesideProgram(const QString &relativePath);
void removeBesideProgram(const QString &relativePath);

#endif // PROGRAMFOLDER_H
