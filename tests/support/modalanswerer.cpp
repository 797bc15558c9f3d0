#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>

#include <utility>

ModalAnswerer::ModalAnswerer(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::answerOpenBox);
    m_timer.start(5);
}

void ModalAnswerer::setAnswer(QMessageBox::StandardButton answer)
{
    m_answer = answer;
}

void ModalAnswerer::setHook(std::function<void(QMessageBox *)> hook)
{
    m_hook = std::move(hook);
}

QStringList ModalAnswerer::texts() const
{
    return m_texts;
}

QStringList ModalAnswerer::titles() const
{
    return m_titles;
}

QList<QMessageBox::Icon> ModalAnswerer::icons() const
{
    return m_icons;
}

void ModalAnswerer::clear()
{
    m_texts.clear();
    m_titles.clear();
    m_icons.clear();
}

void ModalAnswerer::answerOpenBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("answered").toBool())
        return;
    box->setProperty("answered", true);
    m_texts << box->text();
    m_titles << box->windowTitle();
    m_icons << box->icon();
    if (m_hook) {
        const auto hook = std::exchange(m_hook, nullptr);
        hook(box);
    }
    QAbstractButton *button = box->button(m_answer);
    if (!button)
        button = box->buttons().value(0);
    button->click();
}
