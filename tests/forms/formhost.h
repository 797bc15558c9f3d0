#ifndef FORMHOST_H
#define FORMHOST_H

#include <QMainWindow>
#include <QStringList>

namespace Ui {
class MainWindow;
}

// A bare main window that carries the main window form, records which of the
// by-name slots run, and can refuse to close.
class FormHost : public QMainWindow
{
    Q_OBJECT

public:
    explicit FormHost(QWidget *parent = nullptr);
    ~FormHost() override;

    Ui::MainWindow *const ui;
    QStringList slotsReached;
    int closeRequests = 0;
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btnRs232cSyncTo_clicked();
    void on_btnUsbtmcSyncTo_clicked();
    void on_chkPeltaSafu_clicked();
    void on_chk4882Block_clicked();
};

#endif // FORMHOST_H
