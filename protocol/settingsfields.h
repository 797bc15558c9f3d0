#ifndef SETTINGSFIELDS_H
#define SETTINGSFIELDS_H

#include "serviceprotocol.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// The values the module's settings accept, and the conversion of typed or
// stored text into them. Anything outside the accepted form is refused
// rather than sent as some other value.

// "USB" or "RS232C": the module's host interface as the programs name it.
QString hostInterfaceName(bool usb);

// The RS232C host side always has 8 data bits and no parity.
constexpr int Rs232cDataBits = 8;

// The RS232C-host bit rates offered to the user, fastest first.
QList<qint32> rs232cBitrates();

// The RS232C-host stop bits offered to the user, in the window's order.
QList<quint8> rs232cStopbits();

// The flow-control codes offered to the user, in the window's order, which
// is not the order of the codes.
QList<quint8> flowControlChoices();

// "NONE", "SOFTWARE" or "HARDWARE" for the wire codes 0, 1 and 2; an empty
// name for any other code.
QString flowControlName(quint8 code);
std::optional<quint8> flowControlCode(const QString &name);

// "0x" and two upper-case hexadecimal digits, as the terminator is shown.
QString termcharText(quint8 code);

// Hexadecimal digits with or without a "0x" prefix, in any letter case,
// worth 0x00 to 0xFF; white space around them is ignored.
std::optional<quint8> parseTermcharCode(const QString &text);

// The longest automatic serial polling interval, in milliseconds.
constexpr qint32 MaxPollingInterval = 2147483647;

// Decimal digits worth 0 to MaxPollingInterval; white space around them is
// ignored.
std::optional<qint32> parsePollingInterval(const QString &text);

// At most 15 characters, each printable ASCII (0x20 to 0x7E), so that the
// query reaches the module byte for byte as shown.
bool isValidIdnQuery(const QString &text);

constexpr int MaxIdnQueryLength = 15;

// 488.2 block transfer fixes the terminator and the identification query to
// these values.
constexpr quint8 BlockTransferTermchar = 0x0A;
QString blockTransferIdnQuery();

// The interlocks: PELTA needs 488.2 block transfer, which fixes the
// terminator and the identification query. Returns the settings with the
// interlocks applied.
Rs232cSettings interlocked(Rs232cSettings settings);
// Whether an interlock holds block transfer on, and whether one holds the
// terminator and the query at their fixed values.
bool isBlockTransferFixed(const Rs232cSettings &settings);
bool areTermcharAndQueryFixed(const Rs232cSettings &settings);

#endif // SETTINGSFIELDS_H
