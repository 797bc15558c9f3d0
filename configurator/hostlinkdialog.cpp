#include "hostlinkdialog.h"
#include "ui_hostlinkdialog.h"

#include "hostlinesettings.h"

#include <QPushButton>
#include <QTextDocument>

HostLinkDialog::HostLinkDialog(const QList<PortEntry> &ports, QWidget *parent)
    : QDialog(parent), ui(new Ui::HostLinkDialog)
{
    ui->setupUi(this);
    setStyleSheet(QStringLiteral("font: 9pt \"Segoe UI\";"));
    for (const PortEntry &port : ports) {
        ui->cboHostPort->addItem(port.portName);
        const QString serial = port.serialNumber.isEmpty() ? tr("no USB serial number")
                                                           : tr("USB serial number %1").arg(port.serialNumber);
        ui->cboHostPort->setItemData(ui->cboHostPort->count() - 1,
                                     Qt::convertFromPlainText(tr("%1, %2").arg(port.description, serial)),
                                     Qt::ToolTipRole);
    }
    ui->cboHostPort->setAccessibleName(tr("Host port"));
    ui->txtResult->setAccessibleName(tr("Result"));
    connect(&m_check, &HostLinkCheck::finished, this, &HostLinkDialog::showResult);
    setModule(QString(), std::nullopt, std::nullopt);
}

HostLinkDialog::~HostLinkDialog()
{
    disconnect(&m_check, nullptr, this, nullptr);
    delete ui;
}

void HostLinkDialog::setModule(const QString &servicePort, const std::optional<ModuleInfo> &info,
                               const std::optional<Rs232cSettings> &settings)
{
    m_servicePort = servicePort;
    m_info = info;
    m_settings = settings;
    const bool known = m_info && m_settings;
    ui->lblLineSettings->setText(known ? HostLineSettings::of(*m_info, *m_settings).text()
                                       : tr("not known yet: the ZORVEL has not reported its settings (Device → "
                                            "Refresh)"));
    ui->btnCheck->setEnabled(known && !m_check.isRunning());
}

void HostLinkDialog::on_btnCheck_clicked()
{
    const QString hostPort = ui->cboHostPort->currentText().trimmed();
    if (hostPort.isEmpty()) {
        ui->txtResult->setPlainText(tr("Choose the computer's end of the host link, or type its name."));
        return;
    }
    HostLinkCheck::Request request;
    request.hostPort = hostPort;
    request.servicePort = m_servicePort;
    request.info = *m_info;
    request.settings = *m_settings;
    setChecking(true);
    ui->txtResult->setPlainText(tr("Sending the query on %1 and waiting up to %2 ms for the answer...")
                                    .arg(hostPort).arg(request.timeoutMs));
    m_check.start(request);
}

// The lines zorvel check-host prints, the bytes in hex among them, the
// verdict first so that it shows without scrolling.
void HostLinkDialog::showResult(const HostLinkResult &result)
{
    setChecking(false);
    ui->txtResult->setPlainText((result.message() << QString() << result.facts(true)).join('\n'));
    emit checked(result);
}

void HostLinkDialog::setChecking(bool checking)
{
    ui->btnCheck->setEnabled(!checking && m_info && m_settings);
    ui->cboHostPort->setEnabled(!checking);
}
