#ifndef REPLYSTREAM_H
#define REPLYSTREAM_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <random>

// What the main window must show after the last well-formed reply of a type;
// before the first one, the form's placeholders.
struct ShownModuleInfo {
    QString version = "1";
    QString ioType = "1";
    QString gpibAddress = "1";
    QString customMode = "1";
    QString idnString = "1";
};

struct ShownRs232cSettings {
    QString bitrate = "115200";
    QString stopbits = "2";
    QString flowControl = "NONE";
    QString termcharCode;
    QString idnQuery;
    bool fieldsEnabled = true;
    bool blockChecked = false;
    bool blockEnabled = true;
    bool peltaChecked = false;
};

struct ShownUsbtmcSettings {
    bool autoSpoll = false;
    QString interval;
};

// A seeded stream of what a misbehaving module might send: well-formed
// replies of types 1, 3 and 5 with random content (texts with and without
// their zero byte, lengths that overstate or exceed the payload, values no
// widget offers), replies shorter than their layout, frames of unknown types,
// restart notices with a non-zero status, completion replies and random sync
// bytes. The frames are laid out here from the wire format, and what the
// window must show is worked out from the bytes sent, not by the program's
// codec.
class ReplyStream
{
public:
    explicit ReplyStream(quint32 seed);

    // The next `count` random frames, back to back.
    QByteArray frames(int count);
    // A completion reply, to mark the end of a stream.
    QByteArray factoryDefaultCompletion();
    // The bytes cut into pieces of 1 to 300 bytes, small pieces the likeliest.
    QList<QByteArray> pieces(const QByteArray &bytes);
    // True for about one piece in `n`.
    bool oneIn(int n);

    ShownModuleInfo moduleInfo;
    ShownRs232cSettings rs232cSettings;
    ShownUsbtmcSettings usbtmcSettings;
    QStringList notices;
    int shortReplies = 0;

private:
    int uniform(int low, int high);
    QByteArray randomBytes(int size);
    QByteArray text(int maxBytes);
    QByteArray textField();
    QByteArray frame(quint8 type, const QByteArray &payload);
    QByteArray moduleInfoReply();
    QByteArray rs232cReply();
    QByteArray usbtmcReply();
    QByteArray shortReply();
    QByteArray unknownFrame();
    QByteArray ignoredRestartNotice();
    QByteArray completionReply();

    std::mt19937 m_random;
};

#endif // REPLYSTREAM_H
