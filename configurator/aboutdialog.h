#ifndef ABOUTDIALOG_H
#define ABOUTDIALOG_H

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The About box: program name and version, the rights notice, the Qt licence
// note, and a button that opens Qt's own About box.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private slots:
    void on_cmdQt_clicked();

private:
    Ui::AboutDialog *ui;
};

#endif // ABOUTDIALOG_H
