#include "settingsdocument.h"

#include "settingsfields.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numeric>

namespace {

std::optional<qint64> wholeNumber(const QJsonValue &value, qint64 lowest, qint64 highest)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || number < double(lowest) || number > double(highest))
        return std::nullopt;
    return qint64(number);
}

QString listed(const QStringList &items, const QString &last)
{
    QStringList head = items;
    const QString tail = head.takeLast();
    return head.join(", ") + ' ' + last + ' ' + tail;
}

// Each key reads its value from the settings and stores a value from a
// document into them; store says what is accepted when it refuses, where
// asked.
struct Key {
    const char *group;
    const char *name;
    QJsonValue (*read)(const ModuleSettings &);
    bool (*store)(const QJsonValue &, ModuleSettings &, QString *error);
};

bool refuse(QString *error, const QString &accepted)
{
    if (error)
        *error = accepted;
    return false;
}

bool storeBool(const QJsonValue &value, bool &field, QString *error)
{
    if (!value.isBool())
        return refuse(error, SettingsDocument::tr("expected true or false"));
    field = value.toBool();
    return true;
}

bool storeBitrate(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    const auto number = wholeNumber(value, 0, std::numeric_limits<qint32>::max());
    QStringList rates;
    for (const qint32 rate : rs232cBitrates())
        rates << QString::number(rate);
    if (!number || !rs232cBitrates().contains(qint32(*number)))
        return refuse(error, SettingsDocument::tr("expected one of %1").arg(rates.join(", ")));
    settings.rs232c.bitrate = qint32(*number);
    return true;
}

bool storeStopbits(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    const auto number = wholeNumber(value, 0, 255);
    QStringList accepted;
    for (const quint8 stopbits : rs232cStopbits())
        accepted.prepend(QString::number(stopbits));
    if (!number || !rs232cStopbits().contains(quint8(*number)))
        return refuse(error, SettingsDocument::tr("expected %1").arg(listed(accepted, SettingsDocument::tr("or"))));
    settings.rs232c.stopbits = quint8(*number);
    return true;
}

QJsonValue readFlowControl(const ModuleSettings &settings)
{
    const QString name = flowControlName(settings.rs232c.flowControl);
    return name.isEmpty() ? QJsonValue(settings.rs232c.flowControl) : QJsonValue(name);
}

// A name is taken in any case, and stored as the window shows it.
bool storeFlowControl(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    const auto code = value.isString() ? flowControlCode(value.toString().toUpper()) : std::nullopt;
    if (!code) {
        QStringList names;
        for (quint8 c = 0; !flowControlName(c).isEmpty(); ++c)
            names << '"' + flowControlName(c) + '"';
        return refuse(error, SettingsDocument::tr("expected %1, in any case")
                                 .arg(listed(names, SettingsDocument::tr("or"))));
    }
    settings.rs232c.flowControl = *code;
    return true;
}

QJsonValue readTermchar(const ModuleSettings &settings)
{
    return termcharText(settings.rs232c.termcharCode);
}

// A string is hexadecimal and says so with its "0x", so that "13" cannot
// mean 0x13 here while the number 13 means 0x0D.
bool storeTermchar(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    std::optional<quint8> code;
    const QString text = value.toString();
    if (value.isString() && text.startsWith("0x", Qt::CaseInsensitive) && text == text.trimmed())
        code = parseTermcharCode(value.toString());
    else if (const auto number = wholeNumber(value, 0, 255))
        code = quint8(*number);
    if (!code)
        return refuse(error, SettingsDocument::tr("expected a byte: a string \"0x00\" to \"0xFF\" or a number 0 to 255"));
    settings.rs232c.termcharCode = *code;
    return true;
}

bool storeIdnQuery(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    if (!value.isString() || !isValidIdnQuery(value.toString()))
        return refuse(error, SettingsDocument::tr("expected printable ASCII of at most %1 characters").arg(MaxIdnQueryLength));
    settings.rs232c.idnQuery = value.toString();
    return true;
}

bool storeInterval(const QJsonValue &value, ModuleSettings &settings, QString *error)
{
    const auto number = wholeNumber(value, 0, MaxPollingInterval);
    if (!number)
        return refuse(error, SettingsDocument::tr("expected a whole number of milliseconds, 0 to %1").arg(MaxPollingInterval));
    settings.usbtmc.autoSpollIntv = qint32(*number);
    return true;
}

const Key Keys[] = {
    { "rs232c", "bitrate",
      [](const ModuleSettings &s) { return QJsonValue(s.rs232c.bitrate); }, storeBitrate },
    { "rs232c", "stopbits",
      [](const ModuleSettings &s) { return QJsonValue(s.rs232c.stopbits); }, storeStopbits },
    { "rs232c", "flowControl", readFlowControl, storeFlowControl },
    { "rs232c", "termchar", readTermchar, storeTermchar },
    { "rs232c", "block4882",
      [](const ModuleSettings &s) { return QJsonValue(s.rs232c.block4882); },
      [](const QJsonValue &v, ModuleSettings &s, QString *e) { return storeBool(v, s.rs232c.block4882, e); } },
    { "rs232c", "idnQuery",
      [](const ModuleSettings &s) { return QJsonValue(s.rs232c.idnQuery); }, storeIdnQuery },
    { "rs232c", "pelta",
      [](const ModuleSettings &s) { return QJsonValue(s.rs232c.peltaSafu); },
      [](const QJsonValue &v, ModuleSettings &s, QString *e) { return storeBool(v, s.rs232c.peltaSafu, e); } },
    { "usbtmc", "autoSerialPoll",
      [](const ModuleSettings &s) { return QJsonValue(s.usbtmc.autoSpoll); },
      [](const QJsonValue &v, ModuleSettings &s, QString *e) { return storeBool(v, s.usbtmc.autoSpoll, e); } },
    { "usbtmc", "autoSerialPollInterval",
      [](const ModuleSettings &s) { return QJsonValue(s.usbtmc.autoSpollIntv); }, storeInterval },
};

QString fullName(const Key &key)
{
    return QString(key.group) + '.' + key.name;
}

// A full "group.key" name, or a key name alone, which no two groups share.
int keyIndex(const QString &name)
{
    for (int i = 0; i < int(std::size(Keys)); ++i) {
        if (name == fullName(Keys[i]) || name == Keys[i].name)
            return i;
    }
    return -1;
}

QStringList keyNames(const QString &group)
{
    QStringList names;
    for (const Key &key : Keys) {
        if (group == key.group)
            names << key.name;
    }
    return names;
}

// The key whose name is nearest to a mistyped one: the same but for letter
// case, or at most a third of its letters away; none otherwise.
QString nearestKey(const QString &name)
{
    const auto distance = [](const QString &a, const QString &b) {
        QVector<int> row(b.size() + 1);
        std::iota(row.begin(), row.end(), 0);
        for (int i = 1; i <= a.size(); ++i) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= b.size(); ++j) {
                const int above = row[j];
                row[j] = std::min({ row[j] + 1, row[j - 1] + 1,
                                    diagonal + (a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1) });
                diagonal = above;
            }
        }
        return row[b.size()];
    };
    const QString bare = name.section('.', -1);
    QString nearest;
    int best = bare.size() / 3 + 1;
    for (const Key &key : Keys) {
        const int d = distance(bare, key.name);
        if (d < best) {
            best = d;
            nearest = name.contains('.') ? fullName(key) : QString(key.name);
        }
    }
    return nearest;
}

QString unknownKey(const QString &name, const QString &keys)
{
    const QString nearest = nearestKey(name);
    if (nearest.isEmpty())
        return SettingsDocument::tr("unknown key; %1").arg(keys);
    return SettingsDocument::tr("unknown key; did you mean %1? %2").arg(nearest, keys);
}

QString problem(const QString &name, const QJsonValue &value, const QString &accepted)
{
    return QString("%1 = %2: %3").arg(name, OrderedJson::valueText(value), accepted);
}

QString parseErrorText(const QByteArray &json, const QJsonParseError &error)
{
    const QByteArray before = json.left(error.offset);
    const int line = before.count('\n') + 1;
    const int column = before.size() - (before.lastIndexOf('\n') + 1) + 1;
    return SettingsDocument::tr("line %1, column %2: %3").arg(line).arg(column).arg(error.errorString());
}

// The name of a key as a document writes it, "group.key", or the group's
// name alone for a key of the document's top level.
QString nestedName(const QString &parent, const QString &key)
{
    return parent.isEmpty() ? key : parent + '.' + key;
}

QString decodedString(const QByteArray &quoted)
{
    return QJsonDocument::fromJson('[' + quoted + ']').array().at(0).toString();
}

// QJsonDocument keeps the last of two equal keys of an object without a
// word, so the text, which must already be valid JSON, is read once more
// for keys that stand twice in one object.
QStringList repeatedKeys(const QByteArray &json)
{
    struct Level {
        bool isObject;
        QString name;
        QSet<QString> keys;
        bool expectsKey;
    };
    QList<Level> levels;
    QString lastKey;
    QStringList repeated;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (c == '"') {
            const int start = i;
            for (++i; json.at(i) != '"'; ++i) {
                if (json.at(i) == '\\')
                    ++i;
            }
            if (levels.isEmpty() || !levels.last().isObject || !levels.last().expectsKey)
                continue;
            Level &level = levels.last();
            lastKey = decodedString(json.mid(start, i - start + 1));
            if (level.keys.contains(lastKey))
                repeated << nestedName(level.name, lastKey);
            level.keys.insert(lastKey);
            level.expectsKey = false;
        } else if (c == '{' || c == '[') {
            const bool inObject = !levels.isEmpty() && levels.last().isObject;
            const QString parent = levels.isEmpty() ? QString() : levels.last().name;
            levels.append({ c == '{', inObject ? nestedName(parent, lastKey) : parent, {}, true });
        } else if (c == '}' || c == ']') {
            levels.removeLast();
        } else if (c == ',' && levels.last().isObject) {
            levels.last().expectsKey = true;
        }
    }
    return repeated;
}

} // namespace

const char *const SettingsDocument::Format = "zorvel-settings/1";

std::optional<SettingsDocument> SettingsDocument::parse(const QByteArray &json, QStringList *errors)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *errors << parseErrorText(json, parseError);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *errors << tr("the document is not a JSON object");
        return std::nullopt;
    }
    for (const QString &name : repeatedKeys(json))
        *errors << tr("%1: given more than once").arg(name);
    SettingsDocument result;
    const QJsonObject root = document.object();
    if (!root.contains("format"))
        *errors << tr("format: missing; expected \"format\": \"%1\"").arg(Format);
    for (auto group = root.begin(); group != root.end(); ++group) {
        if (group.key() == "module")
            continue;
        if (group.key() == "format") {
            if (group.value() != QJsonValue(Format))
                *errors << problem("format", group.value(), tr("expected \"%1\"").arg(Format));
            continue;
        }
        if (keyNames(group.key()).isEmpty()) {
            *errors << problem(group.key(), group.value(),
                               tr("unknown group; expected \"format\", \"module\", \"rs232c\" or \"usbtmc\""));
            continue;
        }
        if (!group.value().isObject()) {
            *errors << problem(group.key(), group.value(), tr("expected an object of keys"));
            continue;
        }
        const QJsonObject keys = group.value().toObject();
        for (auto key = keys.begin(); key != keys.end(); ++key) {
            const QString name = group.key() + '.' + key.key();
            if (keyIndex(name) < 0)
                *errors << problem(name, key.value(),
                                   unknownKey(name, tr("the %1 keys are %2")
                                                        .arg(group.key(), keyNames(group.key()).join(", "))));
            else
                result.addSetting(name, key.value(), errors);
        }
    }
    result.mergedOver(ModuleSettings(), errors);
    if (!errors->isEmpty())
        return std::nullopt;
    return result;
}

std::optional<SettingsDocument> SettingsDocument::fromAssignments(const QStringList &assignments, QStringList *errors)
{
    SettingsDocument result;
    for (const QString &assignment : assignments) {
        const int equals = assignment.indexOf('=');
        if (equals <= 0) {
            *errors << tr("%1: expected KEY=VALUE").arg(assignment);
            continue;
        }
        const QString name = assignment.left(equals);
        const QString text = assignment.mid(equals + 1);
        const QJsonDocument parsed = QJsonDocument::fromJson('[' + text.toUtf8() + ']');
        const QJsonValue value = parsed.isArray() && parsed.array().size() == 1 ? parsed.array().at(0)
                                                                                 : QJsonValue(text);
        if (keyIndex(name) < 0) {
            QStringList names;
            for (const Key &key : Keys)
                names << key.name;
            *errors << problem(name, value, unknownKey(name, tr("the keys are %1").arg(names.join(", "))));
        } else if (result.sets(name)) {
            *errors << tr("%1: %2 is given more than once").arg(assignment, fullName(Keys[keyIndex(name)]));
        } else {
            result.addSetting(name, value, errors);
        }
    }
    result.mergedOver(ModuleSettings(), errors);
    if (!errors->isEmpty())
        return std::nullopt;
    return result;
}

void SettingsDocument::addSetting(const QString &name, const QJsonValue &value, QStringList *errors)
{
    const int key = keyIndex(name);
    ModuleSettings scratch;
    QString accepted;
    if (!Keys[key].store(value, scratch, &accepted)) {
        *errors << problem(fullName(Keys[key]), value, accepted);
        return;
    }
    m_settings.append({ key, value });
}

bool SettingsDocument::sets(const QString &name) const
{
    const int key = keyIndex(name);
    return std::any_of(m_settings.cbegin(), m_settings.cend(), [key](const Setting &s) { return s.key == key; });
}

std::optional<ModuleSettings> SettingsDocument::mergedOver(const ModuleSettings &module, QStringList *errors) const
{
    ModuleSettings merged = interlocked(module);
    for (const Setting &setting : m_settings)
        Keys[setting.key].store(setting.value, merged, nullptr);

    // What the document asks for against an interlock is an error; what it
    // leaves out simply follows the interlock.
    const int errorsBefore = errors->size();
    const Rs232cSettings &asked = merged.rs232c;
    const Rs232cSettings locked = interlocked(asked);
    if (locked.block4882 != asked.block4882) {
        if (sets("pelta") && sets("block4882"))
            *errors << problem("rs232c.pelta", true, tr("needs rs232c.block4882 true, which the document sets false"));
        else if (sets("block4882"))
            *errors << problem("rs232c.block4882", false, tr("expected true while the module's rs232c.pelta is true"));
    }
    const QString whileBlockTransfer = tr("expected \"%1\" while rs232c.block4882 is true");
    if (sets("termchar") && locked.termcharCode != asked.termcharCode)
        *errors << problem("rs232c.termchar", readTermchar(merged),
                           whileBlockTransfer.arg(termcharText(locked.termcharCode)));
    if (sets("idnQuery") && locked.idnQuery != asked.idnQuery)
        *errors << problem("rs232c.idnQuery", asked.idnQuery, whileBlockTransfer.arg(locked.idnQuery));
    if (errors->size() > errorsBefore)
        return std::nullopt;
    merged.rs232c = locked;
    return merged;
}

QList<SettingsDocument::Entry> SettingsDocument::entries(const QString &port, const QString &serialNumber,
                                                         const std::optional<ModuleInfo> &info,
                                                         const ModuleSettings &settings)
{
    QList<Entry> result = { { "module.port", port }, { "module.serialNumber", serialNumber } };
    if (info) {
        result += {
            { "module.version", info->version },
            { "module.hostInterface", hostInterfaceName(info->hostIsUsb) },
            { "module.gpibAddress", info->gpibAddress },
            { "module.customMode", info->customMode },
            { "module.idn", info->idnString },
        };
    }
    for (const Key &key : Keys)
        result.append({ fullName(key), key.read(settings) });
    return result;
}

// Each group an object of its own, its keys in the order given.
OrderedJson SettingsDocument::json(const QList<Entry> &entries)
{
    OrderedJson document = OrderedJson::object();
    document.insert("format", Format);
    QString groupName;
    OrderedJson group;
    for (const Entry &entry : entries) {
        if (entry.first.section('.', 0, 0) != groupName) {
            if (!groupName.isEmpty())
                document.insert(groupName, group);
            groupName = entry.first.section('.', 0, 0);
            group = OrderedJson::object();
        }
        group.insert(entry.first.section('.', 1), entry.second);
    }
    if (!groupName.isEmpty())
        document.insert(groupName, group);
    return document;
}

QString SettingsDocument::Change::line() const
{
    return QString("%1.%2: %3 -> %4").arg(group, key, OrderedJson::valueText(from), OrderedJson::valueText(to));
}

QJsonValue SettingsDocument::value(const ModuleSettings &settings, const QString &name)
{
    const int key = keyIndex(name);
    return key < 0 ? QJsonValue() : Keys[key].read(settings);
}

// What each key's rule says when it refuses a value, which is no value.
QStringList SettingsDocument::keyHelp()
{
    QStringList lines;
    for (const Key &key : Keys) {
        ModuleSettings scratch;
        QString accepted;
        key.store(QJsonValue(QJsonValue::Undefined), scratch, &accepted);
        lines << QString("%1: %2").arg(key.name, accepted.section(' ', 1));
    }
    return lines;
}

QList<SettingsDocument::Change> SettingsDocument::changes(const ModuleSettings &from, const ModuleSettings &to,
                                                             const QString &group)
{
    QList<Change> result;
    for (const Key &key : Keys) {
        if (!group.isEmpty() && group != key.group)
            continue;
        const QJsonValue before = key.read(from);
        const QJsonValue after = key.read(to);
        if (before != after)
            result.append({ key.group, key.name, before, after });
    }
    return result;
}

QStringList SettingsDocument::outsideRules(const ModuleSettings &settings, const QString &group)
{
    QStringList problems;
    for (const Key &key : Keys) {
        if (group != key.group)
            continue;
        const QJsonValue value = key.read(settings);
        ModuleSettings scratch;
        QString accepted;
        if (!key.store(value, scratch, &accepted))
            problems << problem(fullName(key), value, accepted);
    }
    return problems;
}

ModuleSettings interlocked(ModuleSettings settings)
{
    settings.rs232c = interlocked(settings.rs232c);
    return settings;
}
