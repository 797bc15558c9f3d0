#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

ProgramFolder::~ProgramFolder()
{
    for (const QString &relativePath : m_placed)
        remove(relativePath);
}

QString ProgramFolder::path(const QString &relativePath)
{
    return QCoreApplication::applicationDirPath() + '/' + relativePath;
}

void ProgramFolder::remove(const QString &relativePath)
{
    QFile::remove(path(relativePath));
    QDir(QCoreApplication::applicationDirPath()).rmpath(QFileInfo(relativePath).path());
}

bool ProgramFolder::place(const QString &relativePath)
{
    const QString file = path(relativePath);
    QFile placed(file);
    if (!QDir().mkpath(QFileInfo(file).path()) || !placed.open(QIODevice::WriteOnly))
        return false;
    m_placed << relativePath;
    return placed.write("placed by a test\n") > 0;
}
