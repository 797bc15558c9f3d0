#ifndef OUTCOMEJSON_H
#define OUTCOMEJSON_H

#include "moduleoutcome.h"
#include "orderedjson.h"
#include "outcometext.h"

#include <QList>

#include <optional>

// The commands' JSON, made from their outcomes: the element of one module,
// which with several modules stands in an array, and the list of ports.
namespace OutcomeJson {

// The module's element: what it read or found, or for a write or a reset
// what it planned, wrote and verified. A module that failed has one only
// among several, or after a write, or where the host link was tried.
std::optional<OrderedJson> element(const ModuleOutcome &outcome, bool several);
OrderedJson portList(const QList<OutcomeText::PortRow> &rows, bool allSerialPorts);

} // namespace OutcomeJson

#endif // OUTCOMEJSON_H
