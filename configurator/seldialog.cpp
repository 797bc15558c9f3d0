#include "seldialog.h"
#include "ui_seldialog.h"

#include "desktopfile.h"
#include "serviceport.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QMessageBox>

namespace {

QByteArray identifier(bool present, quint16 value)
{
    return present ? QByteArray::number(value, 16) : QByteArray();
}

void logPort(const QSerialPortInfo &info)
{
    qDebug() << "\nPort:" << info.portName();
    qDebug() << "Location:" << info.systemLocation();
    qDebug() << "Description:" << info.description();
    qDebug() << "Manufacturer:" << info.manufacturer();
    qDebug() << "Vendor Identifier:" << identifier(info.hasVendorIdentifier(), info.vendorIdentifier());
    qDebug() << "Product Identifier:" << identifier(info.hasProductIdentifier(), info.productIdentifier());
}

} // namespace

SelDialog::SelDialog(QWidget *parent)
    : SelDialog(loggedSystemPorts(), parent)
{
}

SelDialog::SelDialog(const QList<PortEntry> &ports, QWidget *parent)
    : QDialog(parent), ui(new Ui::SelDialog)
{
    ui->setupUi(this);
    setStyleSheet("font: 9pt \"Segoe UI\";");
    setFixedSize(size());
    ui->cmdDriverWizard->hide();
    ui->lblMessage->setBuddy(ui->cboServicePort);
    ui->cboServicePort->setAccessibleName(ui->lblMessage->text().chopped(1));
    ui->cboServicePort->view()->setAccessibleName(ui->cboServicePort->accessibleName());
    listServicePorts(ports);
    // The closed box shows the tip of the entry it shows.
    const auto showTip = [this] {
        ui->cboServicePort->setToolTip(ui->cboServicePort->currentData(Qt::ToolTipRole).toString());
    };
    showTip();
    connect(ui->cboServicePort, QOverload<int>::of(&QComboBox::currentIndexChanged), this, showTip);

    if (servicePorts.isEmpty()) {
        ui->cmdStart->setEnabled(false);
        ui->lblMessage->setText(tr("No ZORVEL Service Port is found"));
        ui->cboServicePort->hide();
        ui->cmdDriverWizard->show();
    } else {
        ui->cmdStart->setEnabled(true);
    }
}

SelDialog::~SelDialog()
{
    delete ui;
}

QString SelDialog::itemText(const QString &portName, const QString &description)
{
    return portName + ':' + description;
}

QString SelDialog::itemToolTip(const PortEntry &port)
{
    const auto shown = [](const QString &text) { return text.isEmpty() ? tr("none") : text; };
    return tr("USB serial number: %1\nManufacturer: %2\nLocation: %3")
        .arg(shown(port.serialNumber), shown(port.manufacturer), shown(port.systemLocation));
}

void SelDialog::on_cmdQuit_clicked()
{
    close();
}

void SelDialog::on_cmdStart_clicked()
{
    const int index = ui->cboServicePort->currentIndex();
    if (index >= 0) {
        selectedEntry = servicePorts.at(index);
        selectedPort = QSerialPortInfo(selectedEntry.portName);
    }
    close();
}

// The launcher is looked for where the installation puts it, beside the
// program, whatever the working folder is.
void SelDialog::on_cmdDriverWizard_clicked()
{
#ifdef Q_OS_LINUX
    explainLinuxServicePort();
    return;
#endif
    const QString launcher = QCoreApplication::applicationDirPath() + "/usbdrv/Tarnwick.exe";
    if (!openExistingFile(launcher)) {
        QMessageBox::warning(nullptr, tr("ZORVEL"),
                             launcher + tr(" could not be started.\nReinstall the program, then try again."),
                             QMessageBox::Ok);
        return;
    }
    close();
}

void SelDialog::on_cmdHelp_clicked()
{
    openManual();
}

// Linux needs no driver for the service port: the dialog stays open, so
// that the user can read the manual or quit.
void SelDialog::explainLinuxServicePort()
{
    QMessageBox::information(nullptr, tr("ZORVEL"),
                             tr("Linux needs no driver for the ZORVEL Service Port: plug the module in "
                                "and it shows up as a serial port, such as /dev/ttyACM0.\n"
                                "The udev rule of the ZORVEL Custom Config package gives you access to it "
                                "and adds the link /dev/zorvel-SERIAL, named after the module's serial number.\n"
                                "To list every serial port and see which are ZORVEL Service Ports, "
                                "run: zorvel list --all-ports\n"
                                "Then start ZORVEL Custom Config again."),
                             QMessageBox::Ok);
}

// Every port is logged, listed or not, to help find out why a module's port
// is missing from the list.
QList<PortEntry> SelDialog::loggedSystemPorts()
{
    QList<PortEntry> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        logPort(info);
        ports << portEntry(info);
    }
    return ports;
}

void SelDialog::listServicePorts(const QList<PortEntry> &ports)
{
    for (const PortEntry &port : ports) {
        if (!isServicePort(port.description))
            continue;
        servicePorts << port;
        ui->cboServicePort->addItem(itemText(port.portName, port.description));
        ui->cboServicePort->setItemData(ui->cboServicePort->count() - 1, itemToolTip(port), Qt::ToolTipRole);
    }
}
