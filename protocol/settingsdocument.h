#ifndef SETTINGSDOCUMENT_H
#define SETTINGSDOCUMENT_H

#include "orderedjson.h"
#include "serviceprotocol.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// Both groups of a module's settings.
struct ModuleSettings {
    Rs232cSettings rs232c;
    UsbtmcSettings usbtmc;
};

// The settings as the window shows them, the interlocks applied.
ModuleSettings interlocked(ModuleSettings settings);

// A module's settings as a JSON document, "zorvel-settings/1". Written from
// what a module reports; read back as the keys to set on a module, where a
// key left out keeps the module's value. Keys go by "group.key" names.
class SettingsDocument
{
    Q_DECLARE_TR_FUNCTIONS(SettingsDocument)

public:
    using Entry = QPair<QString, QJsonValue>;

    static const char *const Format;

    // Each failed check is one line in errors: the key, its value and what
    // is accepted. A document names its format, and gives each group and
    // each key once.
    static std::optional<SettingsDocument> parse(const QByteArray &json, QStringList *errors);
    // "key=value" or "group.key=value", each key once; a value that is no
    // JSON is a string.
    static std::optional<SettingsDocument> fromAssignments(const QStringList &assignments, QStringList *errors);

    // The module's settings with the document's keys set, after the window's
    // interlocks: PELTA forces 488.2 block transfer, which forces the
    // terminator 0x0A and the query "*IDN?". A key the document sets against
    // an interlock is an error.
    std::optional<ModuleSettings> mergedOver(const ModuleSettings &module, QStringList *errors) const;

    // Every key of the document in its order, the port and its USB serial
    // number (empty when it has none) first; the module's information only
    // when it is known.
    static QList<Entry> entries(const QString &port, const QString &serialNumber,
                                const std::optional<ModuleInfo> &info, const ModuleSettings &settings);
    // The document of the entries, its "format" first.
    static OrderedJson json(const QList<Entry> &entries);

    // One key whose value changes, with both values as a document holds them.
    struct Change {
        QString group;
        QString key;
        QJsonValue from;
        QJsonValue to;

        // "group.key: from -> to".
        QString line() const;
    };

    // Each key of the group ("rs232c", "usbtmc", or both when empty) whose
    // value differs, in the document's order.
    static QList<Change> changes(const ModuleSettings &from, const ModuleSettings &to, const QString &group = {});
    // Each key of the group whose value the rules do not take, as a line
    // "group.key = value: what is accepted". Only a module can report such
    // values; a document cannot hold them.
    static QStringList outsideRules(const ModuleSettings &settings, const QString &group);
    // Each key with the values it takes, as "key: values", for help texts.
    static QStringList keyHelp();
    // The value of the key, by its "group.key" name, as a document holds it.
    static QJsonValue value(const ModuleSettings &settings, const QString &name);

private:
    struct Setting {
        int key;
        QJsonValue value;
    };

    void addSetting(const QString &name, const QJsonValue &value, QStringList *errors);
    bool sets(const QString &name) const;

    QList<Setting> m_settings;
};

#endif // SETTINGSDOCUMENT_H
