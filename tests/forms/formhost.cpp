#include "formhost.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>

FormHost::FormHost(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow)
{
    ui->setupUi(this);
}

FormHost::~FormHost()
{
    delete ui;
}

void FormHost::closeEvent(QCloseEvent *event)
{
    ++closeRequests;
    event->setAccepted(!refuseClose);
}

void FormHost::on_btnRs232cSyncTo_clicked()
{
    slotsReached << QStringLiteral("on_btnRs232cSyncTo_clicked");
}

void FormHost::on_btnUsbtmcSyncTo_clicked()
{
    slotsReached << QStringLiteral("on_btnUsbtmcSyncTo_clicked");
}

void FormHost::on_chkPeltaSafu_clicked()
{
    slotsReached << QStringLiteral("on_chkPeltaSafu_clicked");
}

void FormHost::on_chk4882Block_clicked()
{
    slotsReached << QStringLiteral("on_chk4882Block_clicked");
}
