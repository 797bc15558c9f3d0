#include "waitdialog.h"
#include "ui_waitdialog.h"

WaitDialog::WaitDialog(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::WaitDialog)
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("font: 9pt \"Segoe UI\";"));
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
}

WaitDialog::~WaitDialog()
{
    delete ui;
}
