#include "fieldhelp.h"

#include "settingsfields.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FieldHelp", text);
}

QString numbers(const QList<qint32> &values)
{
    QStringList texts;
    for (const qint32 value : values)
        texts << QString::number(value);
    return texts.join(", ");
}

QString flowControlNames()
{
    QStringList names;
    for (const quint8 code : flowControlChoices())
        names << flowControlName(code);
    return names.join(", ");
}

QList<qint32> stopbits()
{
    QList<qint32> values;
    for (const quint8 value : rs232cStopbits())
        values << value;
    return values;
}

} // namespace

QString fieldToolTip(const QString &key)
{
    const QString fixed = termcharText(BlockTransferTermchar);
    if (key == "rs232c.bitrate")
        return tr("The bit rate of the RS232C host, in bits per second: %1.").arg(numbers(rs232cBitrates()));
    if (key == "rs232c.stopbits")
        return tr("The stop bits of the RS232C host: %1.").arg(numbers(stopbits()));
    if (key == "rs232c.flowControl")
        return tr("The flow control of the RS232C host: %1.").arg(flowControlNames());
    if (key == "rs232c.termchar")
        return tr("The character that ends a message on the RS232C host: a hexadecimal byte from 0x00 to 0xFF, "
                  "for example %1. While 488.2 Block Transfer is on it is %1.").arg(fixed);
    if (key == "rs232c.block4882")
        return tr("Passes IEEE 488.2 binary blocks of any length. While it is on, Termchar Code is %1 and IDN Query "
                  "is %2.").arg(fixed, blockTransferIdnQuery());
    if (key == "rs232c.idnQuery")
        return tr("The query that asks the instrument for its identity: at most %1 printable ASCII characters. "
                  "While 488.2 Block Transfer is on it is %2.").arg(MaxIdnQueryLength).arg(blockTransferIdnQuery());
    if (key == "rs232c.pelta")
        return tr("Uses the PELTA protocol on the RS232C host. It needs 488.2 Block Transfer, which it turns on "
                  "and keeps on.");
    if (key == "usbtmc.autoSerialPoll")
        return tr("Lets the ZORVEL poll the instrument's status on its own, at the interval below.");
    if (key == "usbtmc.autoSerialPollInterval")
        return tr("How often the ZORVEL polls the instrument, in milliseconds: a whole number from 0 to %1.")
            .arg(MaxPollingInterval);
    return QString();
}

QString syncToolTip(const QString &group)
{
    const QString tab = group == "rs232c" ? tr("RS232C Host") : tr("USBTMC Host");
    return tr("Writes the settings of the %1 tab to the ZORVEL, after a question that lists what changes. They "
              "take effect once the ZORVEL is power-cycled.").arg(tab);
}
