#ifndef FIELDHELP_H
#define FIELDHELP_H

#include <QString>

// What a settings field of the window does and which values it takes, by
// the field's key in a settings document ("rs232c.bitrate"), as its tip.
// The values come from the rules the window and the command line share.
QString fieldToolTip(const QString &key);

// What a tab's Sync ZORVEL button does, by the group ("rs232c", "usbtmc").
QString syncToolTip(const QString &group);

#endif // FIELDHELP_H
