#include "orderedjson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

QByteArray indentation(int level)
{
    return QByteArray(2 * level, ' ');
}

} // namespace

OrderedJson::OrderedJson(const QJsonValue &value)
    : m_value(value)
{
}

OrderedJson OrderedJson::object(Layout layout)
{
    OrderedJson json;
    json.m_kind = Kind::Object;
    json.m_layout = layout;
    return json;
}

OrderedJson OrderedJson::array()
{
    OrderedJson json;
    json.m_kind = Kind::Array;
    return json;
}

OrderedJson &OrderedJson::insert(const QString &name, const OrderedJson &value)
{
    m_names.push_back(name);
    m_elements.push_back(value);
    return *this;
}

OrderedJson &OrderedJson::insert(const QString &name, const QJsonValue &value)
{
    return insert(name, OrderedJson(value));
}

OrderedJson &OrderedJson::append(const OrderedJson &value)
{
    m_elements.push_back(value);
    return *this;
}

OrderedJson &OrderedJson::append(const QJsonValue &value)
{
    return append(OrderedJson(value));
}

bool OrderedJson::isEmpty() const
{
    return m_elements.empty();
}

QByteArray OrderedJson::toJson(int level) const
{
    QByteArray json;
    write(json, level);
    return json;
}

QString OrderedJson::valueText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// The first line is not indented: the value follows a name or the
// indentation its array gave it.
void OrderedJson::write(QByteArray &json, int level) const
{
    if (m_kind == Kind::Value) {
        json += valueText(m_value).toUtf8();
        return;
    }
    const bool object = m_kind == Kind::Object;
    if (m_elements.empty()) {
        json += object ? "{}" : "[]";
        return;
    }
    const bool oneLine = object ? m_layout == Layout::OneLine : holdsOnlyValues();
    // What a one-line object holds lines up as if it stood in its place.
    const int inner = oneLine && object ? level : level + 1;
    json += object ? '{' : '[';
    for (size_t i = 0; i < m_elements.size(); ++i) {
        if (i > 0)
            json += oneLine ? ", " : ",";
        if (!oneLine)
            json += '\n' + indentation(level + 1);
        if (object)
            json += valueText(m_names[i]).toUtf8() + ": ";
        m_elements[i].write(json, inner);
    }
    if (!oneLine)
        json += '\n' + indentation(level);
    json += object ? '}' : ']';
}

bool OrderedJson::holdsOnlyValues() const
{
    return std::all_of(m_elements.cbegin(), m_elements.cend(),
                       [](const OrderedJson &element) { return element.m_kind == Kind::Value; });
}
