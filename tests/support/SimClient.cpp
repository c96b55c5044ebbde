#include "support/SimClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace romwright::test {

SimClient::SimClient(const QString &link) : m_port(PortMap::fromList(link))
{
    m_openError = m_port.setSettings(QStringLiteral("38400,n,8,1"));
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
