#ifndef ORDEREDJSON_H
#define ORDEREDJSON_H

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <vector>

// A JSON value whose object members keep the order they were added in,
// written as the programs print JSON: two blanks a level, an object on
// lines of its own or on one line, an array of plain values on one line and
// an array with an object or array in it one element a line.
class OrderedJson
{
public:
    enum class Layout { Lines, OneLine };

    OrderedJson(const QJsonValue &value = QJsonValue());
    static OrderedJson object(Layout layout = Layout::Lines);
    static OrderedJson array();

    OrderedJson &insert(const QString &name, const OrderedJson &value);
    OrderedJson &insert(const QString &name, const QJsonValue &value);
    OrderedJson &append(const OrderedJson &value);
    OrderedJson &append(const QJsonValue &value);
    bool isEmpty() const;

    QByteArray toJson(int level = 0) const;
    // A plain value as JSON writes it, such as "text" with its escapes.
    static QString valueText(const QJsonValue &value);

private:
    enum class Kind { Value, Object, Array };

    void write(QByteArray &json, int level) const;
    bool holdsOnlyValues() const;

    Kind m_kind = Kind::Value;
    Layout m_layout = Layout::Lines;
    QJsonValue m_value;
    std::vector<QString> m_names;
    std::vector<OrderedJson> m_elements;
};

#endif // ORDEREDJSON_H
