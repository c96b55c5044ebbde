#include "support/SimClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace romwright::test {

CommError openLikeTheProgram(SerialPort &port, int number, const QString &settings)
{
    for (const CommError e : {port.setCommPort(number), port.setDtrEnable(false), port.setEofEnable(false),
                              port.setHandshaking(0), port.setInBufferSize(16), port.setBinaryInput(true),
                              port.setNullDiscard(false), port.setOutBufferSize(2048), port.setSThreshold(0),
                              port.setRtsEnable(false), port.setSettings(settings), port.setInputLen(0)})
        if (e != CommError::None)
            return e;
    return port.setPortOpen(true);
}

SimClient::SimClient(const QString &link, const QString &settings)
    : m_port(std::make_unique<QtSerialPort>(PortMap::fromList(link)))
{
    m_openError = openLikeTheProgram(*m_port, 1, settings);
    QObject::connect(m_port.get(), &SerialPort::lineLost, [this] { m_lost = true; });
}

CommError SimClient::setRate(int baud)
{
    return m_port->setSettings(QStringLiteral("%1,n,8,1").arg(baud));
}

QByteArray SimClient::receive(int count, std::chrono::milliseconds bound)
{
    QByteArray got = m_port->input();
    const QDeadlineTimer deadline(bound);
    while (got.size() < count && !deadline.hasExpired() && m_port->portOpen()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_port.get(), &SerialPort::received, &loop, &QEventLoop::quit);
        QObject::connect(m_port.get(), &SerialPort::lineLost, &loop, &QEventLoop::quit);
        timer.start(std::max<qint64>(1, deadline.remainingTime()));
        loop.exec();
        got += m_port->input();
    }
    return got;
}

QByteArray SimClient::receiveFor(std::chrono::milliseconds window)
{
    return receive(1 << 20, window);
}

QByteArray SimClient::ask(const QByteArray &bytes, int count, std::chrono::milliseconds bound)
{
    if (send(bytes) != CommError::None)
        return QByteArray();
    return receive(count, bound);
}

bool SimClient::waitForLineLost(std::chrono::milliseconds bound)
{
    const QDeadlineTimer deadline(bound);
    while (!m_lost && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_port.get(), &SerialPort::lineLost, &loop, &QEventLoop::quit);
        timer.start(std::max<qint64>(1, deadline.remainingTime()));
        loop.exec();
    }
    return m_lost;
}

} // namespace romwright::test
