#include "Error.h"

Error::Error(const QString &domain, qint64 code, const QString &description)
    : m_domain(domain)
    , m_code(code)
    , m_description(description)
{
}

QString Error::localizedDescription() const
{
    if (!m_description.isEmpty())
        return m_description;
    return QStringLiteral("The operation couldn’t be completed. (%1 error %2.)").arg(m_domain).arg(m_code);
}
