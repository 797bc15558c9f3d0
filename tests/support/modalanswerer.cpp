#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>

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

void ModalAnswerer::setAnswerDelay(int milliseconds)
{
    m_answerDelay = milliseconds;
}

void ModalAnswerer::setHook(std::function<void(QMessageBox *)> hook)
{
    m_hook = std::move(hook);
}

void ModalAnswerer::setFileAnswer(const QString &path)
{
    m_fileAnswer = path;
}

QStringList ModalAnswerer::texts() const
{
    return m_texts;
}

QStringList ModalAnswerer::informativeTexts() const
{
    return m_informativeTexts;
}

QStringList ModalAnswerer::titles() const
{
    return m_titles;
}

QList<QMessageBox::Icon> ModalAnswerer::icons() const
{
    return m_icons;
}

QStringList ModalAnswerer::proposedFiles() const
{
    return m_proposedFiles;
}

void ModalAnswerer::clear()
{
    m_texts.clear();
    m_informativeTexts.clear();
    m_titles.clear();
    m_icons.clear();
}

void ModalAnswerer::answerOpenBox()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property("answered").toBool())
        return;
    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        answerFileDialog(dialog);
        return;
    }
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (!box)
        return;
    if (!box->property("seen").isValid()) {
        box->setProperty("seen", QDateTime::currentMSecsSinceEpoch());
        m_texts << box->text();
        m_informativeTexts << box->informativeText();
        m_titles << box->windowTitle();
        m_icons << box->icon();
        if (m_hook) {
            const auto hook = std::exchange(m_hook, nullptr);
            hook(box);
        }
    }
    if (QDateTime::currentMSecsSinceEpoch() - box->property("seen").toLongLong() < m_answerDelay)
        return;
    box->setProperty("answered", true);
    QAbstractButton *button = box->button(m_answer);
    if (!button)
        button = box->buttons().value(0);
    button->click();
}

void ModalAnswerer::answerFileDialog(QFileDialog *dialog)
{
    dialog->setProperty("answered", true);
    m_proposedFiles << dialog->selectedFiles().value(0);
    if (m_fileAnswer.isEmpty()) {
        dialog->reject();
        return;
    }
    dialog->selectFile(m_fileAnswer);
    // The file dialog's own accept() checks the choice as its button does,
    // and may ask about it in a box of its own: it runs outside this timer's
    // slot, so that the timer can answer that box.
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
}
