#ifndef PROGRAMFOLDER_H
#define PROGRAMFOLDER_H

#include <QString>
#include <QStringList>

// The folder of the running test program, where the windows look for the
// manual and the driver launcher. A test that runs from a folder of its own
// puts such files there for as long as this object lives; any left over from
// an earlier run are removed first.
class ProgramFolder
{
public:
    ProgramFolder() = default;
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    static QString path(const QString &relativePath);
    static void remove(const QString &relativePath);
    bool place(const QString &relativePath);

private:
    QStringList m_placed;
};

#endif // PROGRAMFOLDER_H
