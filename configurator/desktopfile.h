#ifndef DESKTOPFILE_H
#define DESKTOPFILE_H

#include <QString>

// Hands a file beside the program to the desktop (the browser for the
// manual, the shell for the driver launcher), only when it is there, so that
// a missing file is reported instead of whatever the desktop makes of it.
bool openExistingFile(const QString &path);

// Opens help/manual.html beside the program; otherwise a warning names it.
void openManual();

#endif // DESKTOPFILE_H
