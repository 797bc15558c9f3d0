#include "layoutproblems.h"

#include <QCheckBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>

#include <cmath>

namespace {

struct TextFit
{
    QSize needed;
    QRect area;
};

QSize ceiled(const QSizeF &size)
{
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

bool isRichText(const QLabel *label)
{
    return label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
}

// A label lays its text out in its contents less its margin, wrapped at that
// width when word wrap is on; rich text with no document margin.
TextFit labelFit(const QLabel *label)
{
    const int margin = label->margin();
    const QRect area = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    if (isRichText(label)) {
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setDocumentMargin(0);
        document.setHtml(label->text());
        if (label->wordWrap())
            document.setTextWidth(area.width());
        return { ceiled(QSizeF(document.idealWidth(), document.size().height())), area };
    }
    const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
    const QRect bounds = label->fontMetrics().boundingRect(area, flags, label->text());
    return { bounds.size(), area };
}

QStyleOptionButton buttonOption(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    return option;
}

TextFit checkBoxFit(const QCheckBox *box)
{
    const QStyleOptionButton option = buttonOption(box);
    return { box->fontMetrics().size(Qt::TextShowMnemonic, box->text()),
             box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box) };
}

TextFit pushButtonFit(const QPushButton *button)
{
    const QStyleOptionButton option = buttonOption(button);
    return { button->fontMetrics().size(Qt::TextShowMnemonic, button->text()),
             button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button) };
}

// A command link draws its title after its icon, with fixed margins of 7 + 6
// pixels on the left, 4 on the right and 10 at top and bottom, in bold under
// some styles: measured in bold, the wider of the two.
TextFit commandLinkFit(const QCommandLinkButton *button)
{
    QFont title = button->font();
    title.setBold(true);
    const QFontMetrics metrics(title);
    const int iconWidth = button->icon().actualSize(button->iconSize()).width();
    const QRect area = button->rect().adjusted(iconWidth + 7 + 6, 10, -4, -10);
    return { QSize(metrics.horizontalAdvance(button->text()), metrics.height()), area };
}

QString describe(const QWidget *widget)
{
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

QString sizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

void checkText(const QWidget *widget, QStringList *problems)
{
    TextFit fit;
    QString text;
    if (auto label = qobject_cast<const QLabel *>(widget)) {
        fit = labelFit(label);
        text = label->text();
    } else if (auto box = qobject_cast<const QCheckBox *>(widget)) {
        fit = checkBoxFit(box);
        text = box->text();
    } else if (auto link = qobject_cast<const QCommandLinkButton *>(widget)) {
        fit = commandLinkFit(link);
        text = link->text();
    } else if (auto button = qobject_cast<const QPushButton *>(widget)) {
        fit = pushButtonFit(button);
        text = button->text();
    }
    if (text.isEmpty())
        return;
    if (fit.needed.width() > fit.area.width() || fit.needed.height() > fit.area.height())
        *problems << QStringLiteral("%1: text \"%2\" needs %3, has %4")
                         .arg(describe(widget), text, sizeText(fit.needed), sizeText(fit.area.size()));
}

void checkPlace(const QWidget *widget, QStringList *problems)
{
    const QWidget *parent = widget->parentWidget();
    if (!parent->rect().contains(widget->geometry()))
        *problems << QStringLiteral("%1: lies at %2,%3 %4, outside %5 of %6")
                         .arg(describe(widget))
                         .arg(widget->x()).arg(widget->y())
                         .arg(sizeText(widget->size()), sizeText(parent->size()), describe(parent));
}

} // namespace

QStringList layoutProblems(const QWidget *window)
{
    QStringList problems;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (const QWidget *widget : widgets) {
        if (widget->window() != window || !widget->isVisibleTo(window))
            continue;
        checkText(widget, &problems);
        checkPlace(widget, &problems);
    }
    return problems;
}
