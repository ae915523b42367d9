#include "FailedKeyLimit.h"

#include <QElapsedTimer>

FailedKeyLimit::FailedKeyLimit(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock) {
        m_clock = [timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }()] { return timer.elapsed(); };
    }
}

QByteArray FailedKeyLimit::keyOf(const QHostAddress& address) const {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also an IPv4 address mapped into IPv6
    if (isV4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(v6.c), 8);
}

void FailedKeyLimit::forgetOld(QList<qint64>& times, qint64 now) const {
    while (!times.isEmpty() && now - times.constFirst() >= Window)
        times.removeFirst();
}

bool FailedKeyLimit::blocked(const QHostAddress& address) {
    const auto it = m_failures.find(keyOf(address));
    if (it == m_failures.end())
        return false;
    forgetOld(*it, m_clock());
    if (it->isEmpty()) {
        m_failures.erase(it);
        return false;
    }
    return it->size() >= Allowed;
}

void FailedKeyLimit::recordFailure(const QHostAddress& address) {
    const qint64 now = m_clock();
    if (m_failures.size() >= MaxAddresses) {
        for (auto it = m_failures.begin(); it != m_failures.end();) {
            forgetOld(*it, now);
            it = it->isEmpty() ? m_failures.erase(it) : std::next(it);
        }
        if (m_failures.size() >= MaxAddresses)
            m_failures.erase(m_failures.begin()); // under a flood, one address's count is lost
    }
    QList<qint64>& times = m_failures[keyOf(address)];
    times.append(now);
    if (times.size() > Allowed)
        times.removeFirst();
}
