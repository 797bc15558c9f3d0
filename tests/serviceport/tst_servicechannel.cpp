// The channel on its own, over a pseudo-terminal with the simulated module:
// when a read-back is complete, and what stops a request before it leaves;
// and the locked port it talks over. Its frame rules are tested through the
// programs that use them.

#include "servicechannel.h"
#include "serviceport.h"
#include "simulatedline.h"
#include "testhelpers.h"

#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A port whose writes fail, as a line does that goes while a frame leaves.
class FailingPort : public QSerialPort
{
protected:
    qint64 writeData(const char *, qint64) override
    {
        setErrorString("the line went while writing");
        return -1;
    }
};

} // namespace

class TestServiceChannel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readBackCompleteNeedsDecodedReplies();
    void unreadableReplyCountsAsCome();
    void waitingLineStopsRequest_data();
    void waitingLineStopsRequest();
    void failedWriteIsToldApart();
    void outOfStepLastsUntilWholeReadBack();
    void openPortKeepsItsLock();

private:
    void openPort(QSerialPort &port);

    std::unique_ptr<SimulatedLine> m_line;
};

void TestServiceChannel::init()
{
    m_line = std::make_unique<SimulatedLine>();
    QVERIFY2(m_line->open(), qPrintable(m_line->errorString()));
}

void TestServiceChannel::openPort(QSerialPort &port)
{
    port.setPortName(m_line->path());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
}

// A reply too short for its layout is announced, not counted: the
// read-back completes only with the replies that decode.
void TestServiceChannel::readBackCompleteNeedsDecodedReplies()
{
    QSerialPort port;
    openPort(port);
    ServiceChannel channel(&port, ServiceChannel::FrameRule::LengthByte);
    QSignalSpy complete(&channel, &ServiceChannel::readBackCompleted);
    QSignalSpy rejected(&channel, &ServiceChannel::replyRejected);

    m_line->module().setShortReplies(true);
    QVERIFY(channel.readBack().sent());
    QTRY_COMPARE(rejected.count(), 3);
    QCOMPARE(complete.count(), 0);

    m_line->module().setShortReplies(false);
    QVERIFY(channel.readBack().sent());
    QVERIFY(complete.wait());
    QTest::qWait(50);
    QCOMPARE(complete.count(), 1);
}

// A read-back whose replies have all come, one of them too short to read,
// is told once as unreadable, whatever order they came in; a reply of
// that type that decodes completes it.
void TestServiceChannel::unreadableReplyCountsAsCome()
{
    QSerialPort port;
    openPort(port);
    ServiceChannel channel(&port, ServiceChannel::FrameRule::LengthByte);
    QSignalSpy complete(&channel, &ServiceChannel::readBackCompleted);
    QList<QList<FrameType>> unreadable;
    connect(&channel, &ServiceChannel::readBackUnreadable, this,
            [&](const QList<FrameType> &types) { unreadable << types; });
    SimulatedModule &module = m_line->module();
    const auto ask = [&](FrameType type, bool shortReply) {
        module.setShortReplies(shortReply);
        QVERIFY(channel.send({ encodeRequest(type) }).sent());
        QTRY_VERIFY(!channel.readBackMissing().contains(type));
    };

    module.setSilent(true);
    QVERIFY(channel.readBack().sent());
    QTRY_COMPARE(module.requests().size(), 3);
    module.setSilent(false);
    ask(FrameType::ModuleInfo, true);
    ask(FrameType::Rs232cSyncFrom, false);
    QCOMPARE(unreadable.count(), 0);
    ask(FrameType::UsbtmcSyncFrom, false);
    QCOMPARE(unreadable.count(), 1);
    QCOMPARE(unreadable.first(), QList<FrameType> { FrameType::ModuleInfo });
    QVERIFY(channel.readBackMissing().isEmpty());
    QCOMPARE(complete.count(), 0);

    module.setShortReplies(false);
    QVERIFY(channel.send({ encodeRequest(FrameType::ModuleInfo) }).sent());
    QVERIFY(complete.wait());
    QCOMPARE(unreadable.count(), 1);
}

void TestServiceChannel::waitingLineStopsRequest_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("end");

    using Status = ServiceChannel::Outcome::Status;
    QTest::newRow("restart notice") << "restart" << int(Status::Refused) << int(ServiceChannel::State::Restarted);
    QTest::newRow("notice of no meaning, status 1") << "status 1" << int(Status::Sent) << int(ServiceChannel::State::Open);
    QTest::newRow("line closed") << "closed" << int(Status::Refused) << int(ServiceChannel::State::LineLost);
}

// What arrived while no event loop ran, as while a program waits for its
// user's answer, is taken in before a request leaves; the end it brings
// refuses the request, and is reported once, after the call.
void TestServiceChannel::waitingLineStopsRequest()
{
    QFETCH(QString, event);
    QSerialPort port;
    openPort(port);
    ServiceChannel channel(&port, ServiceChannel::FrameRule::RequireMagic);
    QSignalSpy ended(&channel, &ServiceChannel::ended);

    if (event == "closed") {
        m_line->module().closeLine();
    } else {
        m_line->module().sendRestartNotice(event == "restart" ? 0 : 1);
        QVERIFY(m_line->waitUntilDelivered());
    }
    const ServiceChannel::Outcome outcome = channel.send({ hex("4d300900") });
    QTEST(int(outcome.status), "status");
    QTEST(int(outcome.end), "end");
    QCOMPARE(ended.count(), 0);
    if (event == "status 1") {
        QTRY_COMPARE(m_line->module().requests().size(), 1);
        return;
    }
    QCOMPARE(channel.send({ hex("4d300900") }).status, ServiceChannel::Outcome::Status::Refused);
    QVERIFY(ended.wait(1000));
    QCoreApplication::processEvents();
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().first().toInt(), int(outcome.end));
    QCOMPARE(ended.first().last().toString(), outcome.reason);
    QVERIFY(m_line->module().requests().isEmpty());
}

void TestServiceChannel::failedWriteIsToldApart()
{
    FailingPort port;
    openPort(port);
    ServiceChannel channel(&port, ServiceChannel::FrameRule::RequireMagic);
    QSignalSpy ended(&channel, &ServiceChannel::ended);

    const ServiceChannel::Outcome outcome = channel.send({ hex("4d300200") });
    QCOMPARE(outcome.status, ServiceChannel::Outcome::Status::WriteFailed);
    QCOMPARE(outcome.end, ServiceChannel::State::LineLost);
    QCOMPARE(outcome.reason, QString("the request could not be sent: the line went while writing"));
    QVERIFY(!port.isOpen());
    QVERIFY(ended.wait(1000));
    QCOMPARE(channel.send({ hex("4d300100") }).status, ServiceChannel::Outcome::Status::Refused);
}

// Bytes that are not a frame can hide a restart notice: a write stays
// refused while the read-back that follows them is on its way or only
// partly answered, and goes out once it has been answered whole.
void TestServiceChannel::outOfStepLastsUntilWholeReadBack()
{
    QSerialPort port;
    openPort(port);
    ServiceChannel channel(&port, ServiceChannel::FrameRule::LengthByte);
    QSignalSpy complete(&channel, &ServiceChannel::readBackCompleted);
    QSignalSpy rejected(&channel, &ServiceChannel::replyRejected);
    const QByteArray write = hex("4d300200");
    m_line->module().sendRaw(QByteArray("\x01\x02garbage"));
    QVERIFY(m_line->waitUntilDelivered());

    m_line->module().setShortReplies(true);
    QVERIFY(channel.readBack().sent());
    QCOMPARE(channel.send({ write }).status, ServiceChannel::Outcome::Status::OutOfStep);
    QTRY_COMPARE(rejected.count(), 3);
    QCOMPARE(channel.send({ write }).status, ServiceChannel::Outcome::Status::OutOfStep);

    m_line->module().setShortReplies(false);
    QVERIFY(channel.readBack().sent());
    QVERIFY(complete.wait());
    QCOMPARE(channel.send({ write }).status, ServiceChannel::Outcome::Status::Sent);
}

// Opening a port that is open already fails and leaves it as it was: open,
// and locked against every other descriptor of the device.
void TestServiceChannel::openPortKeepsItsLock()
{
    QSerialPort port;
    QString error;
    QVERIFY2(openLockedPort(port, m_line->path(), &error), qPrintable(error));
    QVERIFY(!openLockedPort(port, m_line->path(), &error));
    QCOMPARE(error, QString("The port is open already."));
    QVERIFY(port.isOpen());
    const int other = ::open(QFile::encodeName(m_line->path()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), -1);
    ::close(other);
}

QTEST_GUILESS_MAIN(TestServiceChannel)
#include "tst_servicechannel.moc"
