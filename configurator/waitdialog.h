#ifndef WAITDIALOG_H
#define WAITDIALOG_H

#include <QDialog>

namespace Ui {
class WaitDialog;
}

// The notice shown while the service port is being opened. It has no title
// and its close button is disabled, so the user cannot dismiss it.
class WaitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WaitDialog(QWidget *parent = nullptr);
    ~WaitDialog() override;

private:
    Ui::WaitDialog *ui;
};

#endif // WAITDIALOG_H
