#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "desktopfile.h"
#include "documentfile.h"
#include "fieldhelp.h"
#include "hostlinkdialog.h"
#include "unwrittenedits.h"
#include "servicechannel.h"
#include "settingsfields.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QCommandLinkButton>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QStandardPaths>
#include <QTabBar>
#include <QTextDocument>

#include <utility>

namespace {

constexpr qint64 RejectionLogInterval = 1000;
constexpr int SilenceTimeout = 3000;

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

// A caption as a screen reader says it: the text of a label or a check
// box, without its colon and without the marker of its shortcut.
QString captionText(const QWidget *caption)
{
    const auto *label = qobject_cast<const QLabel *>(caption);
    QString text = label ? label->text() : qobject_cast<const QAbstractButton *>(caption)->text();
    text.remove('&');
    return text.endsWith(':') ? text.chopped(1) : text;
}

// The serial number as part of a file name.
QString fileNamePart(const QString &text)
{
    QString part = text;
    part.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    return part;
}

} // namespace

MainWindow::MainWindow(const QSerialPortInfo &info, QSerialPort *port, QWidget *parent)
    : MainWindow(portEntry(info), port, parent)
{
}

MainWindow::MainWindow(const PortEntry &entry, QSerialPort *port, QWidget *parent)
    : QMainWindow(parent), m_portEntry(entry),
      m_portName(entry.portName.isEmpty() ? port->portName() : entry.portName), m_servicePort(port->portName()),
      m_channel(new ServiceChannel(port, ServiceChannel::FrameRule::LengthByte, this)), ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    connectChannel();
    m_silence.setSingleShot(true);
    m_silence.setInterval(SilenceTimeout);
    connect(&m_silence, &QTimer::timeout, this, &MainWindow::moduleSilent);
    m_replyTimeout.setSingleShot(true);
    m_replyTimeout.setInterval(SilenceTimeout);
    connect(&m_replyTimeout, &QTimer::timeout, this, &MainWindow::writeUnconfirmed);
    connect(this, &MainWindow::syncedFrom, this, &MainWindow::OnSyncFrom);
    connect(ui->action_Refresh, &QAction::triggered, this, &MainWindow::OnSyncFrom);
    connect(ui->action_Factory_Default, &QAction::triggered, this, &MainWindow::OnMenuDeviceFactoryDefault);
    connect(ui->action_About, &QAction::triggered, this, &MainWindow::OnMenuHelpAbout);
    connect(ui->action_Rs232cSync_To, &QAction::triggered, this, &MainWindow::on_btnRs232cSyncTo_clicked);
    connect(ui->action_UsbtmcSync_To, &QAction::triggered, this, &MainWindow::on_btnUsbtmcSyncTo_clicked);
    connect(ui->action_Help_Contents, &QAction::triggered, this, &MainWindow::OnMenuHelpContents);
    connect(ui->action_Save_Settings, &QAction::triggered, this, &MainWindow::OnMenuFileSaveSettings);
    connect(ui->action_Load_Settings, &QAction::triggered, this, &MainWindow::OnMenuFileLoadSettings);
    connect(ui->action_CheckHostLink, &QAction::triggered, this, &MainWindow::OnMenuDeviceCheckHostLink);

    // Texts that come from the port or the module are shown as they are,
    // never interpreted as rich text.
    for (QLabel *label : { ui->lblConnectInfo, ui->lblVersion, ui->lblIdnString, ui->lblSerialNumber })
        label->setTextFormat(Qt::PlainText);
    ui->lblSerialNumber->setText(m_portEntry.serialNumber.isEmpty() ? tr("none") : m_portEntry.serialNumber);
    // The form's placeholders are no data: greyed until the module's
    // information comes.
    for (QLabel *label : { ui->lblVersion, ui->lblIOType, ui->lblGpibAddress, ui->lblCustomMode, ui->lblIdnString })
        label->setEnabled(false);
    fillChoices();
    describeFields();
    QList<UnwrittenEdits::Field> fields;
    for (const Field &field : settingsFields())
        fields << UnwrittenEdits::Field { field.key, field.field, field.caption };
    m_edits = new UnwrittenEdits(this, fields);
    // The title shows a "*" while an edit is unwritten.
    setWindowTitle(windowTitle() + "[*]");
    // The window itself shows no focus: Tab goes on to the tabs.
    setFocusPolicy(Qt::NoFocus);
    for (QCommandLinkButton *button : { ui->btnRs232cSyncTo, ui->btnUsbtmcSyncTo })
        button->setStyleSheet(QStringLiteral("QCommandLinkButton:focus { border: 1px dotted palette(text); }"));
    ui->txtIdnQuery->setMaxLength(MaxIdnQueryLength);
    ui->txtIdnQuery->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString("[\\x20-\\x7E]{0,%1}").arg(MaxIdnQueryLength)), ui->txtIdnQuery));
    ui->action_Refresh->setShortcut(QKeySequence::Refresh);
    ui->action_Save_Settings->setShortcut(QKeySequence::Save);
    ui->action_Load_Settings->setShortcut(QKeySequence::Open);
    m_documentFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    setStyleSheet("font: 9pt \"Segoe UI\";");
    setFixedSize(size());

    showConnection();
    emit syncedFrom();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::errorReport(QSerialPort::SerialPortError e)
{
    qDebug("SerialPortError = %d", int(e));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const QStringList changed = m_edits->changedKeys();
    const bool restarted = m_end == ServiceChannel::State::Restarted;
    if (!changed.isEmpty() && !restarted) {
        QStringList captions;
        for (const QString &key : changed)
            captions << fieldCaption(key);
        if (!confirm(tr("Some settings were changed but not written to the ZORVEL. Close and lose them?"),
                     tr("Not written: %1.").arg(captions.join(", ")), QMessageBox::No)) {
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
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
    if (!confirm(tr("Wish to initialise the ZORVEL to Factory Default?"), moduleText() + '.'))
        return;
    sendConfirmed(encodeRequest(FrameType::FactoryDefault), FrameType::FactoryDefault, tr("factory reset"));
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
    const QString name = m_portEntry.serialNumber.isEmpty()
        ? QString("zorvel-settings.json")
        : QString("zorvel-settings-%1.json").arg(fileNamePart(m_portEntry.serialNumber));
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Settings"), m_documentFolder + '/' + name,
                                                      documentFilter());
    if (path.isEmpty())
        return;
    m_documentFolder = QFileInfo(path).absolutePath();
    const auto entries = SettingsDocument::entries(m_portName, m_portEntry.serialNumber, m_moduleInfo,
                                                   { *rs232c, *usbtmc });
    QString error;
    if (!writeDocumentFile(path, SettingsDocument::json(entries).toJson() + '\n', DocumentFiles::RegularOnly, &error))
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
    const auto json = readDocumentFile(path, DocumentFiles::RegularOnly, &readError);
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

// The dialog stays open beside the window, and follows what the module
// reports while it is.
void MainWindow::OnMenuDeviceCheckHostLink()
{
    if (!m_hostLinkDialog) {
        QList<PortEntry> hostPorts;
        for (const PortEntry &port : systemPorts()) {
            if (!isServicePort(port.description))
                hostPorts << port;
        }
        m_hostLinkDialog = new HostLinkDialog(hostPorts, this);
        m_hostLinkDialog->setAttribute(Qt::WA_DeleteOnClose);
        updateHostLinkDialog();
    }
    m_hostLinkDialog->show();
    m_hostLinkDialog->raise();
    m_hostLinkDialog->activateWindow();
}

void MainWindow::OnSyncFrom()
{
    const ServiceChannel::Outcome outcome = m_channel->readBack();
    if (!outcome.sent())
        return;
    m_silent = false;
    m_reading = true;
    showConnection();
    m_silence.start();
}

// Every check comes before the question, so a refused write asks nothing
// and sends nothing.
void MainWindow::on_btnRs232cSyncTo_clicked()
{
    const auto settings = checkedRs232cSettings(tr("The RS232C settings were not written"));
    if (settings && confirm(tr("Wish to synchronise RS232C settings to the ZORVEL?"), changesText(*settings))
        && sendConfirmed(encodeRs232cSettings(*settings), FrameType::Rs232cSyncTo, tr("write of the RS232C settings")))
        m_sentRs232c = settings;
}

void MainWindow::on_btnUsbtmcSyncTo_clicked()
{
    const auto settings = checkedUsbtmcSettings(tr("The USBTMC settings were not written"));
    if (settings && confirm(tr("Wish to synchronise USBTMC settings to the ZORVEL?"), changesText(*settings))
        && sendConfirmed(encodeUsbtmcSettings(*settings), FrameType::UsbtmcSyncTo, tr("write of the USBTMC settings")))
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

void MainWindow::connectChannel()
{
    connect(m_channel, &ServiceChannel::portErrorOccurred, this, &MainWindow::errorReport);
    connect(m_channel, &ServiceChannel::moduleInfoReceived, this, &MainWindow::showModuleInfo);
    connect(m_channel, &ServiceChannel::rs232cSettingsReceived, this, &MainWindow::showRs232cReply);
    connect(m_channel, &ServiceChannel::usbtmcSettingsReceived, this, &MainWindow::showUsbtmcReply);
    connect(m_channel, &ServiceChannel::rs232cWriteConfirmed, this, &MainWindow::rs232cWritten);
    connect(m_channel, &ServiceChannel::usbtmcWriteConfirmed, this, &MainWindow::usbtmcWritten);
    connect(m_channel, &ServiceChannel::factoryResetConfirmed, this, &MainWindow::factoryResetDone);
    connect(m_channel, &ServiceChannel::replyRejected, this, &MainWindow::logRejectedReply);
    connect(m_channel, &ServiceChannel::readBackUnreadable, this, &MainWindow::readBackUnreadable);
    connect(m_channel, &ServiceChannel::ended, this, &MainWindow::conversationEnded);
    connect(m_channel, &ServiceChannel::readBackCompleted, this, [this] {
        m_silence.stop();
        m_reading = false;
        showConnection();
    });
    connect(m_channel, &ServiceChannel::readBackCompleted, this, &MainWindow::readBackCompleted);
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

void MainWindow::showModuleInfo(const ModuleInfo &info)
{
    showConnection();
    m_moduleInfo = info;
    for (QLabel *label : { ui->lblVersion, ui->lblIOType, ui->lblGpibAddress, ui->lblCustomMode, ui->lblIdnString })
        label->setEnabled(true);
    updateHostLinkDialog();
    showWhole(ui->lblVersion, info.version);
    ui->lblIOType->setText(hostInterfaceName(info.hostIsUsb));
    ui->lblGpibAddress->setText(QString::asprintf("%d", info.gpibAddress));
    ui->lblCustomMode->setText(info.customMode ? "ON" : "OFF");
    showWhole(ui->lblIdnString, info.idnString);
}

void MainWindow::showRs232cReply(const Rs232cSettings &settings)
{
    showConnection();
    m_reportedRs232c = settings;
    showRs232cSettings(settings);
    reportedChanged();
}

void MainWindow::showUsbtmcReply(const UsbtmcSettings &settings)
{
    showConnection();
    m_reportedUsbtmc = settings;
    showUsbtmcSettings(settings);
    reportedChanged();
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
void MainWindow::rs232cWritten()
{
    showConnection();
    if (!completes(FrameType::Rs232cSyncTo))
        return;
    if (m_sentRs232c)
        m_reportedRs232c = std::exchange(m_sentRs232c, std::nullopt);
    reportedChanged();
    notify(tr("RS232C setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
}

void MainWindow::usbtmcWritten()
{
    showConnection();
    if (!completes(FrameType::UsbtmcSyncTo))
        return;
    if (m_sentUsbtmc)
        m_reportedUsbtmc = std::exchange(m_sentUsbtmc, std::nullopt);
    reportedChanged();
    notify(tr("USBTMC setting sync complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
}

void MainWindow::factoryResetDone()
{
    showConnection();
    if (completes(FrameType::FactoryDefault))
        notify(tr("Factory Default complete!\nYou need power-cycle the ZORVEL for the new settings to take effect."));
}

// Whether a completion reply is news to tell: the reply to the write or
// reset that went out, or one that no write asked for, as the module sent
// it. The reply that answered the last request, once more, is not.
bool MainWindow::completes(FrameType type)
{
    if (m_request && m_request->sent && m_request->type == type) {
        m_replyTimeout.stop();
        m_request.reset();
        m_lastConfirmed = type;
        return true;
    }
    if (m_lastConfirmed != type)
        return true;
    qDebug("Ignored a completion reply of type %d that repeats the one before", int(type));
    return false;
}

// The module may have stored all, part or none of what was sent; a reply
// that comes later is told as ever.
void MainWindow::writeUnconfirmed()
{
    showConnectionTrouble(tr("the ZORVEL did not confirm the write"),
                          tr("the ZORVEL did not confirm the %1").arg(m_request->what));
    refuse(tr("The %1 went out to the ZORVEL, but no reply confirmed it within 3 seconds: whether the ZORVEL "
              "carried it out is unknown.\nChoose Device → Refresh to see what the ZORVEL holds.")
               .arg(m_request->what));
}

// A module that keeps sending bad replies must not flood the debug output:
// at most one line a second, which counts the replies left out before it.
void MainWindow::logRejectedReply(const QByteArray &frame)
{
    const char *what = frameType(frame) == FrameType::ModuleInfo ? "a module information"
                     : frameType(frame) == FrameType::Rs232cSyncFrom ? "an RS232C settings"
                                                                     : "a USBTMC settings";
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

// The channel has closed the port and drops the frames behind a restart
// notice: the window is closing, and a box opened for one of them would
// stand without a window. A confirmed write or reset that the notice
// stopped on its way out is named in the notice, as the window closes
// after it.
void MainWindow::conversationEnded(ServiceChannel::State state)
{
    m_end = state;
    m_reading = false;
    m_silence.stop();
    m_replyTimeout.stop();
    if (state != ServiceChannel::State::Restarted) {
        lineLost();
        return;
    }
    QString details;
    if (m_request && !m_request->sent)
        details = tr("Nothing was written: the ZORVEL restarted before the write went out.");
    else if (m_request)
        details = tr("The %1 had gone out; whether the ZORVEL carried it out before it restarted is unknown.\n"
                     "Start this app again to see what the ZORVEL holds.").arg(m_request->what);
    notify(tr("The ZORVEL has been restarted. You also need to restart this app."), details);
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

QString MainWindow::changesText(const Rs232cSettings &settings) const
{
    ModuleSettings written = reportedSettings();
    written.rs232c = settings;
    return changesText(written, "rs232c");
}

QString MainWindow::changesText(const UsbtmcSettings &settings) const
{
    ModuleSettings written = reportedSettings();
    written.usbtmc = settings;
    return changesText(written, "usbtmc");
}

// Which module the write goes to, then one line for each field of the group
// that it would change, under the field's caption and with its values as the
// window shows them.
QString MainWindow::changesText(const ModuleSettings &to, const QString &group) const
{
    const auto changes = SettingsDocument::changes(reportedSettings(), to, group);
    if (changes.isEmpty())
        return moduleText() + ":\n" + tr("No setting differs from what the ZORVEL reported.");
    const auto shown = [](const QJsonValue &value) {
        if (value.isBool())
            return value.toBool() ? tr("on") : tr("off");
        return value.isString() ? value.toString() : OrderedJson::valueText(value);
    };
    QStringList lines { moduleText() + ':' };
    for (const auto &change : changes)
        lines << tr("%1: %2 → %3").arg(fieldCaption(change.group + '.' + change.key), shown(change.from),
                                       shown(change.to));
    return lines.join('\n');
}

QString MainWindow::fieldCaption(const QString &key) const
{
    for (const Field &field : settingsFields()) {
        if (key == field.key)
            return captionText(field.caption);
    }
    return key;
}

// Each settings field with its key in a settings document and the caption
// that stands beside it, or, for a check box, on it.
QList<MainWindow::Field> MainWindow::settingsFields() const
{
    return {
        { "rs232c.bitrate", ui->cboBitrate, ui->label_6 },
        { "rs232c.stopbits", ui->cboStopbits, ui->label_8 },
        { "rs232c.flowControl", ui->cboFlowControl, ui->label_9 },
        { "rs232c.termchar", ui->txtTermcharCode, ui->label_10 },
        { "rs232c.block4882", ui->chk4882Block, ui->chk4882Block },
        { "rs232c.idnQuery", ui->txtIdnQuery, ui->label_12 },
        { "rs232c.pelta", ui->chkPeltaSafu, ui->chkPeltaSafu },
        { "usbtmc.autoSerialPoll", ui->chkAutoSpoll, ui->chkAutoSpoll },
        { "usbtmc.autoSerialPollInterval", ui->txtAutoSpollIntv, ui->label_11 },
    };
}

// A screen reader names a field by its accessible name on Windows and by the
// label whose buddy it is on Linux, where a combo box's own name is its
// current item: every field gets both. The module's identity is read out
// with its caption in the same way.
void MainWindow::describeFields()
{
    for (const Field &field : settingsFields()) {
        if (auto *label = qobject_cast<QLabel *>(field.caption))
            label->setBuddy(field.field);
        field.field->setAccessibleName(captionText(field.caption));
        // Rich text, which a tip wraps to a readable width.
        field.field->setToolTip(Qt::convertFromPlainText(fieldToolTip(field.key), Qt::WhiteSpaceNormal));
        if (auto *box = qobject_cast<QComboBox *>(field.field))
            box->view()->setAccessibleName(captionText(field.caption));
    }
    const QList<QPair<QLabel *, QLabel *>> identity = {
        { ui->label, ui->lblVersion }, { ui->label_2, ui->lblIOType }, { ui->label_3, ui->lblGpibAddress },
        { ui->label_4, ui->lblCustomMode }, { ui->label_5, ui->lblIdnString }, { ui->label_13, ui->lblSerialNumber },
    };
    for (const auto &pair : identity)
        pair.first->setBuddy(pair.second);
    ui->btnRs232cSyncTo->setToolTip(Qt::convertFromPlainText(syncToolTip("rs232c"), Qt::WhiteSpaceNormal));
    ui->btnUsbtmcSyncTo->setToolTip(Qt::convertFromPlainText(syncToolTip("usbtmc"), Qt::WhiteSpaceNormal));
    ui->tabWidget->setAccessibleName(tr("Module and settings"));
    ui->tabWidget->tabBar()->setAccessibleName(ui->tabWidget->accessibleName());
}

// The connection line, as long as the module answers; while a read-back
// waits for its replies, it says so.
void MainWindow::showConnection()
{
    m_silent = false;
    const QString connected = tr("Connected to %1:%2").arg(m_portName, m_portEntry.description);
    ui->lblConnectInfo->setText(m_reading ? tr("%1, reading the ZORVEL...").arg(connected) : connected);
    ui->lblConnectInfo->setToolTip(QString());
}

// The connection line when the module answers amiss: the gist, which the
// line has room for, and the whole as its tip.
void MainWindow::showConnectionTrouble(const QString &gist, const QString &whole)
{
    const QString connected = tr("Connected to %1:%2").arg(m_portName, m_portEntry.description);
    ui->lblConnectInfo->setText(tr("%1, but %2").arg(connected, gist));
    ui->lblConnectInfo->setToolTip(Qt::convertFromPlainText(tr("%1, but %2").arg(connected, whole)));
}

// Said once for a read-back that goes unanswered; replies that come later
// fill the fields and the connection line as before.
void MainWindow::moduleSilent()
{
    if (m_silent)
        return;
    m_silent = true;
    m_reading = false;
    const QString silent = tr("the ZORVEL does not answer");
    showConnectionTrouble(silent, silent);
    const QString check = tr("Check that the SERVICE PORT cable is plugged in and that the ZORVEL is switched on, "
                             "then choose Device → Refresh.");
    const QList<FrameType> missing = m_channel->readBackMissing();
    // None of the three replies came.
    if (missing.size() == 3) {
        refuse(tr("%1 does not answer.\n%2").arg(moduleText(), check));
        return;
    }
    refuse(tr("%1 answered only part of the read-back: %2 did not come.\n%3")
               .arg(moduleText(), readBackPartNames(missing), check));
}

// Every reply of the read-back came, some too short to read: the reading
// ends, and the connection line names what could not be read. The fields
// keep what they showed.
void MainWindow::readBackUnreadable(const QList<FrameType> &types)
{
    m_silence.stop();
    m_reading = false;
    showConnectionTrouble(tr("its replies were too short to read"),
                          tr("its replies were too short to read: %1").arg(readBackPartNames(types)));
}

QString MainWindow::readBackPartNames(const QList<FrameType> &types) const
{
    QStringList names;
    if (types.contains(FrameType::ModuleInfo))
        names << tr("its module information");
    if (types.contains(FrameType::Rs232cSyncFrom))
        names << tr("its RS232C settings");
    if (types.contains(FrameType::UsbtmcSyncFrom))
        names << tr("its USBTMC settings");
    const QString last = names.takeLast();
    return names.isEmpty() ? last : tr("%1 and %2").arg(names.join(tr(", ")), last);
}

// The module as the window's questions name it: its port and USB serial
// number.
QString MainWindow::moduleText() const
{
    if (m_portEntry.serialNumber.isEmpty())
        return tr("The ZORVEL on %1 (no USB serial number)").arg(m_portName);
    return tr("The ZORVEL on %1, USB serial number %2").arg(m_portName, m_portEntry.serialNumber);
}

// The line can be lost, the module restart or the line fall out of step
// while a question is open or just before the frame leaves. Then nothing
// is sent, and the user learns that the confirmed action did not happen; a
// restart found on the way out is reported next, and says so in its own
// notice. A request that went out waits for its reply as a read-back does.
bool MainWindow::sendConfirmed(const QByteArray &frame, FrameType type, const QString &what)
{
    const ServiceChannel::Outcome outcome = m_channel->send({ frame });
    // A refused request leaves a sent one to wait for its reply.
    if (outcome.sent() || !m_request || !m_request->sent)
        m_request = Request { type, what, outcome.sent() };
    if (outcome.sent()) {
        m_lastConfirmed.reset();
        m_replyTimeout.start();
        return true;
    }
    if (outcome.status == ServiceChannel::Outcome::Status::OutOfStep)
        refuse(tr("Nothing was written: the ZORVEL sent bytes that are not a frame, so the line is out of step "
                  "and a restart notice among them could go unseen.\n"
                  "Choose Device → Refresh to read the ZORVEL again, then write."));
    else if (outcome.status == ServiceChannel::Outcome::Status::WriteFailed)
        refuse(tr("The connection to the ZORVEL was lost while writing: the ZORVEL may have received "
                  "all, part or none of it.\n"
                  "Reconnect the SERVICE PORT, restart this app and check what the ZORVEL holds."));
    else if (outcome.end == ServiceChannel::State::Restarted && m_end)
        refuse(tr("Nothing was written: the ZORVEL restarted before the write went out.\n"
                  "Restart this app once the ZORVEL is back."));
    else if (outcome.end != ServiceChannel::State::Restarted)
        refuse(tr("Nothing was written: the connection to the ZORVEL was lost.\n"
                  "Reconnect the SERVICE PORT and restart this app."));
    return false;
}

bool MainWindow::confirm(const QString &question, const QString &details,
                         QMessageBox::StandardButton byEnter) const
{
    QMessageBox box(QMessageBox::Question, tr("ZORVEL"), question, QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(details);
    box.setDefaultButton(byEnter);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::notify(const QString &notice, const QString &details) const
{
    QMessageBox box(QMessageBox::Information, tr("ZORVEL"), notice, QMessageBox::Ok);
    box.setInformativeText(details);
    box.exec();
}

std::nullopt_t MainWindow::refuse(const QString &reason) const
{
    QMessageBox::warning(nullptr, tr("ZORVEL"), reason, QMessageBox::Ok);
    return std::nullopt;
}

// What the module holds is what edits are told against, and what the
// host-link check uses.
void MainWindow::reportedChanged()
{
    m_edits->setReported(m_reportedRs232c, m_reportedUsbtmc);
    updateHostLinkDialog();
}

void MainWindow::updateHostLinkDialog()
{
    if (m_hostLinkDialog)
        m_hostLinkDialog->setModule(m_servicePort, m_moduleInfo, m_reportedRs232c);
}

// The line is gone (the module was unplugged or the far end closed): the
// window stops offering actions that need it.
void MainWindow::lineLost()
{
    ui->lblConnectInfo->setText(tr("Disconnected from %1:%2").arg(m_portName, m_portEntry.description));
    ui->lblConnectInfo->setToolTip(QString());
    for (QAction *action : { ui->action_Rs232cSync_To, ui->action_UsbtmcSync_To,
                             ui->action_Factory_Default, ui->action_Refresh })
        action->setEnabled(false);
    ui->btnRs232cSyncTo->setEnabled(false);
    ui->btnUsbtmcSyncTo->setEnabled(false);
}
