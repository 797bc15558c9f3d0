#ifndef MODALANSWERER_H
#define MODALANSWERER_H

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the application's modal message boxes as a user would: every few
// milliseconds it looks for one, records its texts and presses a button.
// Question boxes get the chosen answer, all others their only button. A
// hook can act while a box is still open, before it is answered. A file
// dialog is given the chosen file, or cancelled when none is chosen.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit ModalAnswerer(QObject *parent = nullptr);

    void setAnswer(QMessageBox::StandardButton answer);
    // How long a box stays open before it is answered; none by default.
    void setAnswerDelay(int milliseconds);
    void setHook(std::function<void(QMessageBox *)> hook);
    void setFileAnswer(const QString &path);

    QStringList texts() const;
    QStringList informativeTexts() const;
    QStringList titles() const;
    QList<QMessageBox::Icon> icons() const;
    // The file each file dialog proposed before it was answered.
    QStringList proposedFiles() const;
    void clear();

private:
    void answerOpenBox();
    void answerFileDialog(QFileDialog *dialog);

    QTimer m_timer;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    std::function<void(QMessageBox *)> m_hook;
    QString m_fileAnswer;
    int m_answerDelay = 0;
    QStringList m_texts;
    QStringList m_informativeTexts;
    QStringList m_titles;
    QList<QMessageBox::Icon> m_icons;
    QStringList m_proposedFiles;
};

#endif // MODALANSWERER_H
