#include "unwrittenedits.h"

#include "settingsfields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

// A number as a document holds it; text that is none stays text, which no
// reported value equals.
QJsonValue number(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    return ok ? QJsonValue(value) : QJsonValue(text);
}

} // namespace

UnwrittenEdits::UnwrittenEdits(QWidget *window, const QList<Field> &fields)
    : QObject(window), m_window(window), m_fields(fields)
{
    for (const Field &field : fields) {
        if (auto *box = qobject_cast<QComboBox *>(field.field))
            connect(box, &QComboBox::currentTextChanged, this, &UnwrittenEdits::update);
        else if (auto *line = qobject_cast<QLineEdit *>(field.field))
            connect(line, &QLineEdit::textChanged, this, &UnwrittenEdits::update);
        else if (auto *check = qobject_cast<QCheckBox *>(field.field))
            connect(check, &QCheckBox::toggled, this, &UnwrittenEdits::update);
    }
}

// Compared with what the window showed of the report, the interlocks
// applied, so that a read-back leaves nothing marked.
void UnwrittenEdits::setReported(const std::optional<Rs232cSettings> &rs232c,
                                 const std::optional<UsbtmcSettings> &usbtmc)
{
    m_rs232cReported = rs232c.has_value();
    m_usbtmcReported = usbtmc.has_value();
    m_reported = interlocked(ModuleSettings { rs232c.value_or(Rs232cSettings()), usbtmc.value_or(UsbtmcSettings()) });
    update();
}

QStringList UnwrittenEdits::changedKeys() const
{
    QStringList keys;
    for (const Field &field : m_fields) {
        const bool reported = field.key.startsWith("rs232c.") ? m_rs232cReported : m_usbtmcReported;
        // A list that cannot show the reported value shows no item: that is
        // no edit of the user's.
        const auto *box = qobject_cast<const QComboBox *>(field.field);
        if (reported && !(box && box->currentIndex() < 0)
            && shownValue(field) != SettingsDocument::value(*m_reported, field.key))
            keys << field.key;
    }
    return keys;
}

void UnwrittenEdits::update()
{
    const QStringList changed = changedKeys();
    for (const Field &field : m_fields)
        field.caption->setStyleSheet(changed.contains(field.key) ? QStringLiteral("font-weight: bold;") : QString());
    m_window->setWindowModified(!changed.isEmpty());
}

QJsonValue UnwrittenEdits::shownValue(const Field &field) const
{
    if (const auto *check = qobject_cast<const QCheckBox *>(field.field))
        return check->isChecked();
    const auto *box = qobject_cast<const QComboBox *>(field.field);
    const QString text = box ? box->currentText() : qobject_cast<const QLineEdit *>(field.field)->text();
    if (field.key == "rs232c.termchar") {
        const auto code = parseTermcharCode(text);
        return code ? QJsonValue(termcharText(*code)) : QJsonValue(text);
    }
    if (field.key == "rs232c.flowControl" || field.key == "rs232c.idnQuery")
        return text;
    return number(text);
}
