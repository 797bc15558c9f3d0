#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "settingsfields.h"

#include <QDebug>
#include <QDesktopServices>
#include <QKeySequence>
#include <QMessageBox>
#include <QUrl>

namespace {

void selectText(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findData(text, Qt::DisplayRole, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

} // namespace

MainWindow::MainWindow(const QSerialPortInfo &info, QSerialPort *port, QWidget *parent)
    : QMainWindow(parent), m_portInfo(info), m_port(port), ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    connect(m_port, &QSerialPort::errorOccurred, this, &MainWindow::errorReport);
    connect(m_port, &QSerialPort::readyRead, this, &MainWindow::OnReadyRead);
    connect(this, &MainWindow::syncedFrom, this, &MainWindow::OnSyncFrom);
    connect(ui->action_Refresh, &QAction::triggered, this, &MainWindow::OnSyncFrom);
    connect(ui->action_Factory_Default, &QAction::triggered, this, &MainWindow::OnMenuDeviceFactoryDefault);
    connect(ui->action_About, &QAction::triggered, this, &MainWindow::OnMenuHelpAbout);
    connect(ui->action_Rs232cSync_To, &QAction::triggered, this, &MainWindow::on_btnRs232cSyncTo_clicked);
    connect(ui->action_UsbtmcSync_To, &QAction::triggered, this, &MainWindow::on_btnUsbtmcSyncTo_clicked);
    connect(ui->action_Help_Contents, &QAction::triggered, this, &MainWindow::OnMenuHelpContents);

    // Texts that come from the port or the module are shown as they are,
    // never interpreted as rich text.
    for (QLabel *label : { ui->lblConnectInfo, ui->lblVersion, ui->lblIdnString })
        label->setTextFormat(Qt::PlainText);
    ui->lblConnectInfo->setText(tr("Connected to %1:%2").arg(m_port->portName(), m_portInfo.description()));
    fillChoices();
    ui->txtIdnQuery->setMaxLength(15);
    ui->action_Refresh->setShortcut(QKeySequence::Refresh);
    setStyleSheet("font: 9pt \"Segoe UI\";");
    setFixedSize(size());

    emit syncedFrom();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::errorReport(QSerialPort::SerialPortError e)
{
    const bool lost = e == QSerialPort::ReadError || e == QSerialPort::ResourceError;
    if (lost && !m_port->isOpen())
        return;
    qDebug("SerialPortError = %d", int(e));
    if (lost)
        lineLost();
}

// Qt does not signal readyRead again while this slot runs, so bytes that
// arrive while a message box of a handler is open wait in the port. Reading
// again after the frames on hand are handled picks them up without waiting
// for further traffic.
void MainWindow::OnReadyRead()
{
    while (m_port->isOpen() && m_port->bytesAvailable() > 0) {
        m_receiveBuffer.append(m_port->readAll());
        while (const auto frame = m_receiveBuffer.takeFrame())
            handleFrame(*frame);
    }
}

void MainWindow::OnMenuHelpAbout()
{
    AboutDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::OnMenuHelpContents()
{
    const QString path = QCoreApplication::applicationDirPath() + "/help/manual.html";
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        QMessageBox::warning(nullptr, tr("ZORVEL"), path + tr(" could not be opend"), QMessageBox::Ok);
}

void MainWindow::OnMenuDeviceFactoryDefault()
{
    if (!confirm(tr("Wish to initialise the ZORVEL to Factory Default?")))
        return;
    sendConfirmed(encodeRequest(FrameType::FactoryDefault));
}

void MainWindow::OnSyncFrom()
{
    m_port->write(encodeRequest(FrameType::ModuleInfo));
    m_port->write(encodeRequest(FrameType::Rs232cSyncFrom));
    m_port->write(encodeRequest(FrameType::UsbtmcSyncFrom));
    m_port->flush();
}

void MainWindow::on_btnRs232cSyncTo_clicked()
{
    // A box left empty by a reply value it cannot show would otherwise send 0
    // (or NONE) and change a setting the user never touched.
    if (!rs232cChoicesComplete()) {
        QMessageBox::warning(nullptr, tr("ZORVEL"),
                             tr("The RS232C settings were not written.\n"
                                "Choose a Bitrate, Stopbits and Flow Control value first."),
                             QMessageBox::Ok);
        return;
    }
    if (!confirm(tr("Wish to synchronise RS232C settings to the ZORVEL?")))
        return;
    sendConfirmed(encodeRs232cSettings(rs232cSettingsFromForm()));
}

void MainWindow::on_btnUsbtmcSyncTo_clicked()
{
    if (!confirm(tr("Wish to synchronise USBTMC settings to the ZORVEL?")))
        return;
    UsbtmcSettings settings;
    settings.autoSpoll = ui->chkAutoSpoll->isChecked();
    settings.autoSpollIntv = ui->txtAutoSpollIntv->text().toInt(nullptr, 10);
    sendConfirmed(encodeUsbtmcSettings(settings));
}

// PELTA needs 488.2 block transfer, which in turn fixes the terminator and
// the identification query.
void MainWindow::on_chkPeltaSafu_clicked()
{
    if (ui->chkPeltaSafu->isChecked())
        ui->chk4882Block->setChecked(true);
    ui->chk4882Block->setEnabled(!ui->chkPeltaSafu->isChecked());
    on_chk4882Block_clicked();
}

void MainWindow::on_chk4882Block_clicked()
{
    const bool block = ui->chk4882Block->isChecked();
    if (block) {
        ui->txtTermcharCode->setText("0x0A");
        ui->txtIdnQuery->setText("*IDN?");
    }
    ui->txtTermcharCode->setEnabled(!block);
    ui->txtIdnQuery->setEnabled(!block);
}

void MainWindow::fillChoices()
{
    const auto items = [](const char *list) { return QString(list).split(';', Qt::KeepEmptyParts, Qt::CaseSensitive); };
    ui->cboBitrate->addItems(items("115200;57600;38400;19200;9600;4800;2400;1200"));
    ui->cboStopbits->addItems(items("2;1"));
    ui->cboFlowControl->addItems(items("NONE;HARDWARE;SOFTWARE"));
}

void MainWindow::handleFrame(const QByteArray &frame)
{
    switch (FrameType(quint8(frame.at(2)))) {
    case FrameType::ModuleInfo:
        showModuleInfo(frame);
        break;
    case FrameType::Rs232cSyncFrom:
        showRs232cSettings(frame);
        break;
    case FrameType::UsbtmcSyncFrom:
        showUsbtmcSettings(frame);
        break;
    case FrameType::Rs232cSyncTo:
        notify(tr("RS232C setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
        break;
    case FrameType::UsbtmcSyncTo:
        notify(tr("USBTMC setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
        break;
    case FrameType::FactoryDefault:
        notify(tr("Factory Default complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
        break;
    case FrameType::Restarted:
        if (isRestartNotice(frame))
            restarted();
        break;
    }
}

void MainWindow::showModuleInfo(const QByteArray &frame)
{
    const auto info = decodeModuleInfo(frame);
    if (!info) {
        qDebug() << "Ignored a module information reply shorter than its layout:" << frame.toHex(' ');
        return;
    }
    ui->lblVersion->setText(info->version);
    ui->lblIOType->setText(info->hostIsUsb ? "USB" : "RS232C");
    ui->lblGpibAddress->setText(QString::asprintf("%d", info->gpibAddress));
    ui->lblCustomMode->setText(info->customMode ? "ON" : "OFF");
    ui->lblIdnString->setText(info->idnString);
}

void MainWindow::showRs232cSettings(const QByteArray &frame)
{
    const auto settings = decodeRs232cSettings(frame);
    if (!settings) {
        qDebug() << "Ignored an RS232C settings reply shorter than its layout:" << frame.toHex(' ');
        return;
    }
    selectText(ui->cboBitrate, QString::asprintf("%ld", long(settings->bitrate)));
    selectText(ui->cboStopbits, QString::asprintf("%d", settings->stopbits));
    selectText(ui->cboFlowControl, flowControlName(settings->flowControl));
    ui->txtTermcharCode->setText(QString::asprintf("0x%02X", unsigned(settings->termcharCode)));
    ui->chk4882Block->setChecked(settings->block4882);
    ui->txtIdnQuery->setText(settings->idnQuery);
    ui->chkPeltaSafu->setChecked(settings->peltaSafu);
    emit ui->chkPeltaSafu->clicked(settings->peltaSafu);
}

void MainWindow::showUsbtmcSettings(const QByteArray &frame)
{
    const auto settings = decodeUsbtmcSettings(frame);
    if (!settings) {
        qDebug() << "Ignored a USBTMC settings reply shorter than its layout:" << frame.toHex(' ');
        return;
    }
    ui->chkAutoSpoll->setChecked(settings->autoSpoll);
    ui->txtAutoSpollIntv->setText(QString::asprintf("%ld", long(settings->autoSpollIntv)));
}

void MainWindow::restarted()
{
    m_port->close();
    notify(tr("The ZORVEL has been restarted. You also need to restart this app."));
    close();
}

Rs232cSettings MainWindow::rs232cSettingsFromForm() const
{
    Rs232cSettings settings;
    settings.bitrate = qint32(ui->cboBitrate->currentText().toLong(nullptr, 10));
    settings.stopbits = quint8(ui->cboStopbits->currentText().toLong(nullptr, 10));
    settings.flowControl = flowControlCode(ui->cboFlowControl->currentText()).value_or(0);
    settings.termcharCode = quint8(ui->txtTermcharCode->text().toInt(nullptr, 16));
    settings.block4882 = ui->chk4882Block->isChecked();
    settings.idnQuery = ui->txtIdnQuery->text();
    settings.peltaSafu = ui->chkPeltaSafu->isChecked();
    return settings;
}

bool MainWindow::rs232cChoicesComplete() const
{
    return ui->cboBitrate->currentIndex() >= 0 && ui->cboStopbits->currentIndex() >= 0
        && ui->cboFlowControl->currentIndex() >= 0;
}

// The line can be lost while a question is open. Then nothing is sent, and
// the user learns that the confirmed action did not happen.
void MainWindow::sendConfirmed(const QByteArray &frame)
{
    if (!m_port->isOpen()) {
        QMessageBox::warning(nullptr, tr("ZORVEL"),
                             tr("Nothing was written: the connection to the ZORVEL was lost.\n"
                                "Reconnect the SERVICE PORT and restart this app."),
                             QMessageBox::Ok);
        return;
    }
    m_port->write(frame);
    m_port->flush();
}

bool MainWindow::confirm(const QString &question) const
{
    return QMessageBox::question(nullptr, tr("ZORVEL"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::NoButton)
        == QMessageBox::Yes;
}

void MainWindow::notify(const QString &notice) const
{
    QMessageBox::information(nullptr, tr("ZORVEL"), notice, QMessageBox::Ok);
}

// The line is gone (the module was unplugged or the far end closed). The port
// would keep signalling the same error, so it is closed, and the window stops
// offering actions that need it.
void MainWindow::lineLost()
{
    m_port->close();
    ui->lblConnectInfo->setText(tr("Disconnected from %1:%2").arg(m_port->portName(), m_portInfo.description()));
    for (QAction *action : { ui->action_Rs232cSync_To, ui->action_UsbtmcSync_To,
                             ui->action_Factory_Default, ui->action_Refresh })
        action->setEnabled(false);
    ui->btnRs232cSyncTo->setEnabled(false);
    ui->btnUsbtmcSyncTo->setEnabled(false);
}
