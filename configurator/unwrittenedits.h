#ifndef UNWRITTENEDITS_H
#define UNWRITTENEDITS_H

#include "settingsdocument.h"

#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The settings fields that differ from what the module last reported, as
// the window showed it: the window is marked modified (the "[*]" of its
// title), and the caption of each such field is set in bold. It follows
// every edit, a loaded document, a write the module confirms and a
// read-back. A group the module has not reported yet has no edits.
class UnwrittenEdits : public QObject
{
    Q_OBJECT

public:
    struct Field {
        QString key;
        QWidget *field;
        QWidget *caption;
    };

    UnwrittenEdits(QWidget *window, const QList<Field> &fields);

    void setReported(const std::optional<Rs232cSettings> &rs232c, const std::optional<UsbtmcSettings> &usbtmc);
    // The "group.key" names of the fields that differ.
    QStringList changedKeys() const;

private:
    void update();
    QJsonValue shownValue(const Field &field) const;

    QWidget *m_window;
    QList<Field> m_fields;
    std::optional<ModuleSettings> m_reported;
    bool m_rs232cReported = false;
    bool m_usbtmcReported = false;
};

#endif // UNWRITTENEDITS_H
