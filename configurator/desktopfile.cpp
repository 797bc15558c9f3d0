#include "desktopfile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

bool openExistingFile(const QString &path)
{
    return QFileInfo(path).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void openManual()
{
    const QString path = QCoreApplication::applicationDirPath() + "/help/manual.html";
    if (openExistingFile(path))
        return;
    QMessageBox::warning(nullptr, QCoreApplication::translate("DesktopFile", "ZORVEL"),
                         path + QCoreApplication::translate("DesktopFile", " could not be opend")
                             + QCoreApplication::translate("DesktopFile",
                                                           "\nReinstall the program if the file is missing, "
                                                           "or open it with your web browser."),
                         QMessageBox::Ok);
}
