#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>

#include <functional>

// Counts wrong keys per client address: past Allowed of them within Window, the address gets 429
// for every request until the window has moved on. An IPv6 client is counted by its /64 network,
// which one machine may fill with addresses at will. Keeps at most MaxAddresses addresses.
class FailedKeyLimit {
public:
    static constexpr int Allowed = 10;
    static constexpr qint64 Window = 60 * 1000; // ms
    static constexpr int MaxAddresses = 4096;

    using Clock = std::function<qint64()>; // ms, monotonic
    explicit FailedKeyLimit(Clock clock = {});

    bool blocked(const QHostAddress& address);
    void recordFailure(const QHostAddress& address);

private:
    QByteArray keyOf(const QHostAddress& address) const;
    void forgetOld(QList<qint64>& times, qint64 now) const;

    Clock m_clock;
    QHash<QByteArray, QList<qint64>> m_failures;
};
