#ifndef OUTCOMEJSON_H
#define OUTCOMEJSON_H

#include "moduleoutcome.h"
#include "orderedjson.h"
#include "outcometext.h"

#include <QList>

// The commands' JSON, made from their outcomes: the element of one module,
// which with several modules stands in an array, and the list of ports.
namespace OutcomeJson {

// The module's element: what it read or found, or for a write or a reset
// what it planned, wrote and verified; a module that failed otherwise, its
// port, serial number, message and exit status.
OrderedJson element(const ModuleOutcome &outcome, bool several);
OrderedJson portList(const QList<OutcomeText::PortRow> &rows, bool allSerialPorts);
// What a command that failed before it reached a module says.
OrderedJson failure(int exitStatus, const QStringList &errors);

} // namespace OutcomeJson

#endif // OUTCOMEJSON_H
