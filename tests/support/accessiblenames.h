#ifndef ACCESSIBLENAMES_H
#define ACCESSIBLENAMES_H

#include <QStringList>

class QWidget;

// What a screen reader hears of a widget: the name of its accessible
// interface, and the texts of the widgets that label it.
QString accessibleName(QWidget *widget);
QStringList labelTexts(QWidget *widget);

// The object names of the widgets in the window that take the keyboard's
// focus but have no accessible name.
QStringList unnamedFocusableWidgets(QWidget *window);

#endif // ACCESSIBLENAMES_H
