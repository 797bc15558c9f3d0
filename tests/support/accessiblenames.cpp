#include "accessiblenames.h"

#include <QAccessible>
#include <QWidget>

QString accessibleName(QWidget *widget)
{
    const QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(widget);
    return interface ? interface->text(QAccessible::Name) : QString();
}

QStringList labelTexts(QWidget *widget)
{
    QStringList texts;
    const QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(widget);
    for (const auto &relation : interface->relations(QAccessible::Label))
        texts << relation.first->text(QAccessible::Name);
    return texts;
}

QStringList unnamedFocusableWidgets(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->focusPolicy() != Qt::NoFocus && accessibleName(widget).trimmed().isEmpty())
            unnamed << widget->objectName() + " (" + widget->metaObject()->className() + ')';
    }
    return unnamed;
}
