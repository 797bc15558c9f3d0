#include "aboutdialog.h"
#include "ui_aboutdialog.h"

#include <QMessageBox>

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent),
      ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("font: 9pt \"Segoe UI\";"));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::on_cmdQt_clicked()
{
    // An empty title lets Qt use its own; the About box stays open underneath.
    QMessageBox::aboutQt(nullptr, QString());
}
