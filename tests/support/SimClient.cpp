#include "support/SimClient.h"

namespace romwright::test {

SimClient::SimClient(const QString &link) : m_port(PortMap::fromList(link))
{
    m_openError = m_port.setSettings(QStringLiteral("38400,n,8,1"));
    if (m_openError == CommError::None)
        m_openError = m_port.setPortOpen(true);
}

} // namespace romwright::test
