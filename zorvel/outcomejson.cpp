#include "outcomejson.h"

#include "settingsfields.h"

namespace {

OrderedJson moduleObject(const PortEntry &port, OrderedJson::Layout layout = OrderedJson::Layout::OneLine)
{
    OrderedJson object = OrderedJson::object(layout);
    object.insert("port", port.portName).insert("serialNumber", port.serialNumber);
    return object;
}

OrderedJson changesArray(const QList<SettingsDocument::Change> &changes)
{
    OrderedJson array = OrderedJson::array();
    for (const auto &change : changes) {
        OrderedJson object = OrderedJson::object(OrderedJson::Layout::OneLine);
        object.insert("group", change.group).insert("key", change.key).insert("module", change.from)
            .insert("file", change.to);
        array.append(object);
    }
    return array;
}

OrderedJson writeObject(const ModuleOutcome &outcome)
{
    OrderedJson written = OrderedJson::array();
    for (const QString &group : outcome.written)
        written.append(group);
    return moduleObject(outcome.port)
        .insert("changes", changesArray(outcome.changes))
        .insert("written", written)
        .insert("verified", outcome.verified ? QJsonValue(*outcome.verified) : QJsonValue())
        .insert("exitStatus", outcome.exitStatus)
        .insert("message", OutcomeText::message(outcome));
}

// The line settings as their own members, those of a serial line null
// where the host link is USB.
OrderedJson hostLinkObject(const ModuleOutcome &outcome)
{
    const HostLinkResult &result = *outcome.hostLink;
    const HostLineSettings &line = result.line;
    const auto serial = [&line](const QJsonValue &value) { return line.usb ? QJsonValue() : value; };
    return moduleObject(outcome.port, OrderedJson::Layout::Lines)
        .insert("hostPort", result.hostPort)
        .insert("hostInterface", hostInterfaceName(line.usb))
        .insert("line", line.text())
        .insert("bitrate", serial(line.bitrate))
        .insert("dataBits", serial(Rs232cDataBits))
        .insert("parity", serial("none"))
        .insert("stopbits", serial(line.stopbits))
        .insert("flowControl", serial(flowControlName(line.flowControl)))
        .insert("termchar", termcharText(line.terminator))
        .insert("sent", QString::fromUtf8(result.sent))
        .insert("received", result.verdict == HostLinkResult::Verdict::NotText ? result.receivedText()
                                                                               : QString::fromUtf8(result.received))
        .insert("receivedHex", QString::fromLatin1(result.received.toHex(' ')))
        .insert("expected", result.expected)
        .insert("match", result.match() ? QJsonValue(*result.match()) : QJsonValue())
        .insert("exitStatus", outcome.exitStatus)
        .insert("message", OutcomeText::message(outcome));
}

} // namespace

OrderedJson OutcomeJson::element(const ModuleOutcome &outcome, bool several)
{
    if (outcome.work == Work::Apply || outcome.work == Work::Reset)
        return writeObject(outcome);
    if (outcome.hostLink)
        return hostLinkObject(outcome);
    if (outcome.failed())
        return moduleObject(outcome.port).insert("message", OutcomeText::message(outcome))
            .insert("exitStatus", outcome.exitStatus);
    if (outcome.work != Work::Diff)
        return SettingsDocument::json(outcome.entries);
    if (!several)
        return changesArray(outcome.changes);
    return moduleObject(outcome.port).insert("differences", changesArray(outcome.changes));
}

OrderedJson OutcomeJson::failure(int exitStatus, const QStringList &errors)
{
    OrderedJson object = OrderedJson::object(OrderedJson::Layout::OneLine);
    return object.insert("message", errors.join('\n')).insert("exitStatus", exitStatus);
}

OrderedJson OutcomeJson::portList(const QList<OutcomeText::PortRow> &rows, bool allSerialPorts)
{
    OrderedJson list = OrderedJson::array();
    for (const auto &row : rows) {
        OrderedJson object = OrderedJson::object();
        object.insert("port", row.port.portName)
            .insert("description", row.port.description)
            .insert("serialNumber", row.port.serialNumber)
            .insert("systemLocation", row.port.systemLocation);
        if (allSerialPorts)
            object.insert("servicePort", row.servicePort);
        list.append(object);
    }
    return list;
}
