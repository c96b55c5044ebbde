#include "support/SimClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace romwright::test {

SimClient::SimClient(const QString &link) : m_port(PortMap::fromList(link))
{
    for (const CommError e :
         {m_port.setCommPort(1), m_port.setDtrEnable(false), m_port.setEofEnable(false),
          m_port.setHandshaking(0), m_port.setInBufferSize(16), m_port.setBinaryInput(true),
          m_port.setNullDiscard(false), m_port.setOutBufferSize(2048), m_port.setSThreshold(0),
          m_port.setRtsEnable(false), m_port.setSettings(QStringLiteral("38400,n,8,1")),
          m_port.setInputLen(0)})
        if (e != CommError::None && m_openError == CommError::None)
            m_openError = e;
    if (m_openError == CommError::None)
        m_openError = m_port.setPortOpen(true);
}

QByteArray SimClient::receive(int count, std::chrono::milliseconds bound)
{
    QByteArray got = m_port.input();
    const QDeadlineTimer deadline(bound);
    while (got.size() < count && !deadline.hasExpired() && m_port.portOpen()) {
        QEventLoop loop;
        QTimer::singleShot(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())), &loop,
                           &QEventLoop::quit);
        QObject::connect(&m_port, &SerialPort::received, &loop, &QEventLoop::quit);
        QObject::connect(&m_port, &SerialPort::lineLost, &loop, &QEventLoop::quit);
        loop.exec();
        got += m_port.input();
    }
    return got;
}

} // namespace romwright::test
