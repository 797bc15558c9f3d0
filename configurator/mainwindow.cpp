#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "desktopfile.h"
#include "documentfile.h"
#include "settingsfields.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStandardPaths>
#include <QTextDocument>

#include <utility>

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

QString documentFilter()
{
    return MainWindow::tr("Settings documents (*.json);;All files (*)");
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
    connect(ui->action_Save_Settings, &QAction::triggered, this, &MainWindow::OnMenuFileSaveSettings);
    connect(ui->action_Load_Settings, &QAction::triggered, this, &MainWindow::OnMenuFileLoadSettings);

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
    ui->action_Save_Settings->setShortcut(QKeySequence::Save);
    ui->action_Load_Settings->setShortcut(QKeySequence::Open);
    m_documentFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
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

// The settings of both tabs as a settings document, after the checks a
// write makes.
void MainWindow::OnMenuFileSaveSettings()
{
    const QString refusal = tr("The settings were not saved");
    const auto rs232c = checkedRs232cSettings(refusal);
    const auto usbtmc = rs232c ? checkedUsbtmcSettings(refusal) : std::nullopt;
    if (!usbtmc)
        return;
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Settings"),
                                                      m_documentFolder + "/zorvel-settings.json", documentFilter());
    if (path.isEmpty())
        return;
    m_documentFolder = QFileInfo(path).absolutePath();
    const auto entries = SettingsDocument::entries(m_port->portName(), m_portInfo.serialNumber(), m_moduleInfo,
                                                   { *rs232c, *usbtmc });
    QString error;
    if (!writeDocumentFile(path, SettingsDocument::toJson(entries) + '\n', &error))
        refuse(tr("The settings were not saved to %1:\n%2").arg(QDir::toNativeSeparators(path), error));
}

// A document sets its keys over what the module reported, with the checks
// that writing it from the command line makes; a document that fails them
// changes no field.
void MainWindow::OnMenuFileLoadSettings()
{
    if (!m_reportedRs232c || !m_reportedUsbtmc) {
        refuse(tr("No settings were loaded: the settings have not been read from the ZORVEL yet.\n"
                  "Use Device → Refresh first."));
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, tr("Load Settings"), m_documentFolder, documentFilter());
    if (path.isEmpty())
        return;
    m_documentFolder = QFileInfo(path).absolutePath();
    QStringList errors;
    QString readError;
    const auto json = readDocumentFile(path, &readError);
    if (!json)
        errors << readError;
    const auto document = json ? SettingsDocument::parse(*json, &errors) : std::nullopt;
    const auto merged = document ? document->mergedOver(reportedSettings(), &errors) : std::nullopt;
    if (!merged) {
        refuse(tr("No settings were loaded from %1:\n%2").arg(QDir::toNativeSeparators(path), errors.join('\n')));
        return;
    }
    showRs232cSettings(merged->rs232c);
    showUsbtmcSettings(merged->usbtmc);
    notify(tr("The settings of %1 are in both tabs. Nothing has been written to the ZORVEL yet:\n"
              "use Sync ZORVEL on each tab to write them.").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::OnSyncFrom()
{
    writeFrames({ encodeRequest(FrameType::ModuleInfo), encodeRequest(FrameType::Rs232cSyncFrom),
                  encodeRequest(FrameType::UsbtmcSyncFrom) });
}

// Every check comes before the question, so a refused write asks nothing
// and sends nothing.
void MainWindow::on_btnRs232cSyncTo_clicked()
{
    const auto settings = checkedRs232cSettings(tr("The RS232C settings were not written"));
    if (!settings)
        return;
    ModuleSettings written = reportedSettings();
    written.rs232c = *settings;
    if (confirm(tr("Wish to synchronise RS232C settings to the ZORVEL?"), changesText(written, "rs232c"))
        && sendConfirmed(encodeRs232cSettings(*settings)))
        m_sentRs232c = settings;
}

void MainWindow::on_btnUsbtmcSyncTo_clicked()
{
    const auto settings = checkedUsbtmcSettings(tr("The USBTMC settings were not written"));
    if (!settings)
        return;
    ModuleSettings written = reportedSettings();
    written.usbtmc = *settings;
    if (confirm(tr("Wish to synchronise USBTMC settings to the ZORVEL?"), changesText(written, "usbtmc"))
        && sendConfirmed(encodeUsbtmcSettings(*settings)))
        m_sentUsbtmc = settings;
}

void MainWindow::on_chkPeltaSafu_clicked()
{
    applyInterlocks();
}

void MainWindow::on_chk4882Block_clicked()
{
    applyInterlocks();
}

void MainWindow::fillChoices()
{
    for (const qint32 bitrate : rs232cBitrates())
        ui->cboBitrate->addItem(QString::number(bitrate));
    for (const quint8 stopbits : rs232cStopbits())
        ui->cboStopbits->addItem(QString::number(stopbits));
    for (const quint8 code : flowControlChoices())
        ui->cboFlowControl->addItem(flowControlName(code));
}

void MainWindow::handleFrame(const QByteArray &frame)
{
    switch (frameType(frame)) {
    case FrameType::ModuleInfo:
        showModuleInfo(frame);
        break;
    case FrameType::Rs232cSyncFrom:
        showRs232cReply(frame);
        break;
    case FrameType::UsbtmcSyncFrom:
        showUsbtmcReply(frame);
        break;
    case FrameType::Rs232cSyncTo:
        writeCompleted(FrameType::Rs232cSyncTo,
            tr("RS232C setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
        break;
    case FrameType::UsbtmcSyncTo:
        writeCompleted(FrameType::UsbtmcSyncTo,
            tr("USBTMC setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
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
    m_moduleInfo = info;
    showWhole(ui->lblVersion, info->version);
    ui->lblIOType->setText(info->hostIsUsb ? "USB" : "RS232C");
    ui->lblGpibAddress->setText(QString::asprintf("%d", info->gpibAddress));
    ui->lblCustomMode->setText(info->customMode ? "ON" : "OFF");
    showWhole(ui->lblIdnString, info->idnString);
}

void MainWindow::showRs232cReply(const QByteArray &frame)
{
    const auto settings = decodeRs232cSettings(frame);
    if (!settings) {
        logRejectedReply("an RS232C settings", frame);
        return;
    }
    m_reportedRs232c = settings;
    showRs232cSettings(*settings);
}

void MainWindow::showUsbtmcReply(const QByteArray &frame)
{
    const auto settings = decodeUsbtmcSettings(frame);
    if (!settings) {
        logRejectedReply("a USBTMC settings", frame);
        return;
    }
    m_reportedUsbtmc = settings;
    showUsbtmcSettings(*settings);
}

// The PELTA box's clicked signal applies the interlocks, as a click would.
void MainWindow::showRs232cSettings(const Rs232cSettings &settings)
{
    selectText(ui->cboBitrate, QString::asprintf("%ld", long(settings.bitrate)));
    selectText(ui->cboStopbits, QString::asprintf("%d", settings.stopbits));
    selectText(ui->cboFlowControl, flowControlName(settings.flowControl));
    ui->txtTermcharCode->setText(termcharText(settings.termcharCode));
    ui->chk4882Block->setChecked(settings.block4882);
    ui->txtIdnQuery->setText(settings.idnQuery);
    ui->chkPeltaSafu->setChecked(settings.peltaSafu);
    emit ui->chkPeltaSafu->clicked(settings.peltaSafu);
}

void MainWindow::showUsbtmcSettings(const UsbtmcSettings &settings)
{
    ui->chkAutoSpoll->setChecked(settings.autoSpoll);
    ui->txtAutoSpollIntv->setText(QString::asprintf("%ld", long(settings.autoSpollIntv)));
}

// A field an interlock holds shows the value it is held at and cannot be
// edited. Turning PELTA off unlocks the block-transfer box but leaves it
// checked.
void MainWindow::applyInterlocks()
{
    Rs232cSettings boxes;
    boxes.peltaSafu = ui->chkPeltaSafu->isChecked();
    boxes.block4882 = ui->chk4882Block->isChecked();
    const Rs232cSettings held = interlocked(boxes);
    const bool fieldsFixed = areTermcharAndQueryFixed(held);
    ui->chk4882Block->setChecked(held.block4882);
    ui->chk4882Block->setEnabled(!isBlockTransferFixed(held));
    if (fieldsFixed) {
        ui->txtTermcharCode->setText(termcharText(held.termcharCode));
        ui->txtIdnQuery->setText(held.idnQuery);
    }
    ui->txtTermcharCode->setEnabled(!fieldsFixed);
    ui->txtIdnQuery->setEnabled(!fieldsFixed);
}

// The module has stored what was sent: that is now what it holds.
void MainWindow::writeCompleted(FrameType type, const QString &notice)
{
    if (type == FrameType::Rs232cSyncTo && m_sentRs232c)
        m_reportedRs232c = std::exchange(m_sentRs232c, std::nullopt);
    if (type == FrameType::UsbtmcSyncTo && m_sentUsbtmc)
        m_reportedUsbtmc = std::exchange(m_sentUsbtmc, std::nullopt);
    notify(notice);
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
std::optional<Rs232cSettings> MainWindow::checkedRs232cSettings(const QString &refusal) const
{
    if (!m_reportedRs232c)
        return refuse(tr("%1: they have not been read from the ZORVEL yet.\n"
                         "Use Device → Refresh first.").arg(refusal));
    if (!rs232cChoicesComplete())
        return refuse(tr("%1.\nChoose a Bitrate, Stopbits and Flow Control value first.").arg(refusal));
    const auto termcharCode = parseTermcharCode(ui->txtTermcharCode->text());
    if (!termcharCode)
        return refuse(tr("%1.\nTermchar Code must be a hexadecimal number from 0x00 to 0xFF, for example 0x0A.")
                          .arg(refusal));
    if (!isValidIdnQuery(ui->txtIdnQuery->text()))
        return refuse(tr("%1.\nIDN Query must be at most 15 plain ASCII characters, for example *IDN?")
                          .arg(refusal));

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

std::optional<UsbtmcSettings> MainWindow::checkedUsbtmcSettings(const QString &refusal) const
{
    if (!m_reportedUsbtmc)
        return refuse(tr("%1: they have not been read from the ZORVEL yet.\n"
                         "Use Device → Refresh first.").arg(refusal));
    const auto interval = parsePollingInterval(ui->txtAutoSpollIntv->text());
    if (!interval)
        return refuse(tr("%1.\nAuto Serial Polling Interval [ms] must be a whole number from 0 to 2147483647, "
                         "for example 1000.").arg(refusal));

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

// What the module last reported of both groups; a group it has not
// reported yet holds default values.
ModuleSettings MainWindow::reportedSettings() const
{
    return ModuleSettings { m_reportedRs232c.value_or(Rs232cSettings()), m_reportedUsbtmc.value_or(UsbtmcSettings()) };
}

// One line for each field of the group that the write would change, under
// the field's caption and with its values as the window shows them.
QString MainWindow::changesText(const ModuleSettings &to, const QString &group) const
{
    const auto changes = SettingsDocument::changes(reportedSettings(), to, group);
    if (changes.isEmpty())
        return tr("No setting differs from what the ZORVEL reported.");
    const auto shown = [](const QJsonValue &value) {
        if (value.isBool())
            return value.toBool() ? tr("on") : tr("off");
        return value.isString() ? value.toString() : SettingsDocument::valueText(value);
    };
    QStringList lines;
    for (const auto &change : changes)
        lines << tr("%1: %2 → %3").arg(fieldCaption(change.group + '.' + change.key), shown(change.from),
                                       shown(change.to));
    return lines.join('\n');
}

// The caption that stands beside the field, without its colon.
QString MainWindow::fieldCaption(const QString &key) const
{
    const QList<QPair<QString, QString>> captions = {
        { "rs232c.bitrate", ui->label_6->text() },
        { "rs232c.stopbits", ui->label_8->text() },
        { "rs232c.flowControl", ui->label_9->text() },
        { "rs232c.termchar", ui->label_10->text() },
        { "rs232c.block4882", ui->chk4882Block->text() },
        { "rs232c.idnQuery", ui->label_12->text() },
        { "rs232c.pelta", ui->chkPeltaSafu->text() },
        { "usbtmc.autoSerialPoll", ui->chkAutoSpoll->text() },
        { "usbtmc.autoSerialPollInterval", ui->label_11->text() },
    };
    for (const auto &caption : captions) {
        if (caption.first == key)
            return caption.second.endsWith(':') ? caption.second.chopped(1) : caption.second;
    }
    return key;
}

// The line can be lost while a question is open. Then nothing is sent, and
// the user learns that the confirmed action did not happen.
bool MainWindow::sendConfirmed(const QByteArray &frame)
{
    if (!m_port->isOpen()) {
        QMessageBox::warning(nullptr, tr("ZORVEL"),
                             tr("Nothing was written: the connection to the ZORVEL was lost.\n"
                                "Reconnect the SERVICE PORT and restart this app."),
                             QMessageBox::Ok);
        return false;
    }
    if (writeFrames({ frame }))
        return true;
    QMessageBox::warning(nullptr, tr("ZORVEL"),
                         tr("The connection to the ZORVEL was lost while writing: the ZORVEL may have received "
                            "all, part or none of it.\n"
                            "Reconnect the SERVICE PORT, restart this app and check what the ZORVEL holds."),
                         QMessageBox::Ok);
    return false;
}

// One write call a frame and one flush; a write that does not take the
// whole frame, or a flush that fails, means the line is gone.
bool MainWindow::writeFrames(const QList<QByteArray> &frames)
{
    bool complete = true;
    for (const QByteArray &frame : frames)
        complete = complete && m_port->write(frame) == frame.size();
    complete = complete && m_port->flush();
    if (!complete)
        lineLost();
    return complete;
}

bool MainWindow::confirm(const QString &question, const QString &details) const
{
    QMessageBox box(QMessageBox::Question, tr("ZORVEL"), question, QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(details);
    return box.exec() == QMessageBox::Yes;
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
    if (m_port->isOpen())
        m_port->close();
    ui->lblConnectInfo->setText(tr("Disconnected from %1:%2").arg(m_port->portName(), m_portInfo.description()));
    for (QAction *action : { ui->action_Rs232cSync_To, ui->action_UsbtmcSync_To,
                             ui->action_Factory_Default, ui->action_Refresh })
        action->setEnabled(false);
    ui->btnRs232cSyncTo->setEnabled(false);
    ui->btnUsbtmcSyncTo->setEnabled(false);
}
