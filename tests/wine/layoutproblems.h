#ifndef LAYOUTPROBLEMS_H
#define LAYOUTPROBLEMS_H

#include <QStringList>

class QWidget;

// What a user would find cut in a shown window: every label, check box or
// button whose text is wider or taller than the space the widget gives it,
// and every widget that does not lie wholly inside the widget that shows it.
QStringList layoutProblems(const QWidget *window);

#endif // LAYOUTPROBLEMS_H
