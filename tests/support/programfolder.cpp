#include "programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString besideProgram(const QString &relativePath)
{
    return QCoreApplication::applicationDirPath() + '/' + relativePath;
}

bool placeBesideProgram(const QString &relativePath)
{
    QFile file(besideProgram(relativePath));
    return QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly);
}

void removeBesideProgram(const QString &relativePath)
{
    QFile::remove(besideProgram(relativePath));
}
