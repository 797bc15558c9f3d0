#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "desktopfile.h"
#include "settingsfields.h"

#include <QDebug>
#include <QKeySequence>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QTextDocument>

namespace {

// While a message box is open no frame is handled, so the port stops reading
// once this much is buffered; the rest waits in the system until the box
// closes, instead of piling up in this process.
constexpr qint64 ReadBufferSize = 32 * 1024;

constexpr qint64 RejectionLogInterval = 1000;

// The whole of a text that may be too long for its label, as a tip. Tips
// take rich text, so the module's text is escaped to show as it came.
void showWhole(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setToolTip(Qt::convertFromPlainText(text));
}

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
    ui->txtIdnQuery->setMaxLength(MaxIdnQueryLength);
    ui->txtIdnQuery->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString("[\\x20-\\x7E]{0,%1}").arg(MaxIdnQueryLength)), ui->txtIdnQuery));
    m_port->setReadBufferSize(ReadBufferSize);
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
    qDebug("SerialPortError = %d", int(e));
    const bool lost = e == QSerialPort::ReadError || e == QSerialPort::ResourceError;
    if (lost && m_port->isOpen())
        lineLost();
}

// Qt does not signal readyRead again while this slot runs, so bytes that
// arrive while a message box of a handler is open wait in the port, and
// beyond the port's buffer in the system. Reading again after the frames on
// hand are handled picks up what the port holds; reading it empty lets the
// port read from the system again, which signals readyRead once this slot
// has returned.
void MainWindow::OnReadyRead()
{
    while (!m_restarted && m_port->isOpen() && m_port->bytesAvailable() > 0) {
        m_receiveBuffer.append(m_port->readAll());
        while (!m_restarted) {
            const auto frame = m_receiveBuffer.takeFrame();
            if (!frame)
                break;
            handleFrame(*frame);
        }
    }
}

void MainWindow::OnMenuHelpAbout()
{
    AboutDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::OnMenuHelpContents()
{
    openManual();
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

// Every check comes before the question, so a refused write asks nothing
// and sends nothing.
void MainWindow::on_btnRs232cSyncTo_clicked()
{
    const auto settings = checkedRs232cSettings();
    if (!settings || !confirm(tr("Wish to synchronise RS232C settings to the ZORVEL?")))
        return;
    sendConfirmed(encodeRs232cSettings(*settings));
}

void MainWindow::on_btnUsbtmcSyncTo_clicked()
{
    const auto settings = checkedUsbtmcSettings();
    if (!settings || !confirm(tr("Wish to synchronise USBTMC settings to the ZORVEL?")))
        return;
    sendConfirmed(encodeUsbtmcSettings(*settings));
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
        logRejectedReply("a module information", frame);
        return;
    }
    showWhole(ui->lblVersion, info->version);
    ui->lblIOType->setText(info->hostIsUsb ? "USB" : "RS232C");
    ui->lblGpibAddress->setText(QString::asprintf("%d", info->gpibAddress));
    ui->lblCustomMode->setText(info->customMode ? "ON" : "OFF");
    showWhole(ui->lblIdnString, info->idnString);
}

void MainWindow::showRs232cSettings(const QByteArray &frame)
{
    const auto settings = decodeRs232cSettings(frame);
    if (!settings) {
        logRejectedReply("an RS232C settings", frame);
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
    m_rs232cRead = true;
}

void MainWindow::showUsbtmcSettings(const QByteArray &frame)
{
    const auto settings = decodeUsbtmcSettings(frame);
    if (!settings) {
        logRejectedReply("a USBTMC settings", frame);
        return;
    }
    ui->chkAutoSpoll->setChecked(settings->autoSpoll);
    ui->txtAutoSpollIntv->setText(QString::asprintf("%ld", long(settings->autoSpollIntv)));
    m_usbtmcRead = true;
}

// A module that keeps sending bad replies must not flood the debug output:
// at most one line a second, which counts the replies left out before it.
void MainWindow::logRejectedReply(const char *what, const QByteArray &frame)
{
    if (m_lastRejectionLogged.isValid() && m_lastRejectionLogged.elapsed() < RejectionLogInterval) {
        ++m_rejectionsLeftOut;
        return;
    }
    m_lastRejectionLogged.start();
    QDebug line = qDebug().noquote();
    line << "Ignored" << what << "reply shorter than its layout:" << frame.toHex(' ');
    if (m_rejectionsLeftOut > 0)
        line << QString("(%1 more rejected replies were not logged)").arg(m_rejectionsLeftOut);
    m_rejectionsLeftOut = 0;
}

// Frames behind the notice are dropped: the window is closing, and a box
// opened for one of them would stand without a window.
void MainWindow::restarted()
{
    m_restarted = true;
    m_port->close();
    notify(tr("The ZORVEL has been restarted. You also need to restart this app."));
    close();
}

// The tab's values, or nothing after a warning that says why it cannot be
// written. Until the module has filled the tab it shows placeholders, and a
// box left empty by a reply value it cannot show would send 0 (or NONE):
// either would change settings the user never touched.
std::optional<Rs232cSettings> MainWindow::checkedRs232cSettings() const
{
    if (!m_rs232cRead)
        return refuse(tr("The RS232C settings were not written: they have not been read from the ZORVEL yet.\n"
                         "Use Device → Refresh first."));
    if (!rs232cChoicesComplete())
        return refuse(tr("The RS232C settings were not written.\n"
                         "Choose a Bitrate, Stopbits and Flow Control value first."));
    const auto termcharCode = parseTermcharCode(ui->txtTermcharCode->text());
    if (!termcharCode)
        return refuse(tr("The RS232C settings were not written.\n"
                         "Termchar Code must be a hexadecimal number from 0x00 to 0xFF, for example 0x0A."));
    if (!isValidIdnQuery(ui->txtIdnQuery->text()))
        return refuse(tr("The RS232C settings were not written.\n"
                         "IDN Query must be at most 15 plain ASCII characters, for example *IDN?"));

    Rs232cSettings settings;
    settings.bitrate = qint32(ui->cboBitrate->currentText().toLong(nullptr, 10));
    settings.stopbits = quint8(ui->cboStopbits->currentText().toLong(nullptr, 10));
    settings.flowControl = flowControlCode(ui->cboFlowControl->currentText()).value_or(0);
    settings.termcharCode = *termcharCode;
    settings.block4882 = ui->chk4882Block->isChecked();
    settings.idnQuery = ui->txtIdnQuery->text();
    settings.peltaSafu = ui->chkPeltaSafu->isChecked();
    return settings;
}

std::optional<UsbtmcSettings> MainWindow::checkedUsbtmcSettings() const
{
    if (!m_usbtmcRead)
        return refuse(tr("The USBTMC settings were not written: they have not been read from the ZORVEL yet.\n"
                         "Use Device → Refresh first."));
    const auto interval = parsePollingInterval(ui->txtAutoSpollIntv->text());
    if (!interval)
        return refuse(tr("The USBTMC settings were not written.\n"
                         "Auto Serial Polling Interval [ms] must be a whole number from 0 to 2147483647, "
                         "for example 1000."));

    UsbtmcSettings settings;
    settings.autoSpoll = ui->chkAutoSpoll->isChecked();
    settings.autoSpollIntv = *interval;
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

std::nullopt_t MainWindow::refuse(const QString &reason) const
{
    QMessageBox::warning(nullptr, tr("ZORVEL"), reason, QMessageBox::Ok);
    return std::nullopt;
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
