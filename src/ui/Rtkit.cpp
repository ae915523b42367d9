#include "Rtkit.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

#include <algorithm>
#include <sys/resource.h>

namespace {

QVariant rtkitProperty(QDBusConnection& bus, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.RealtimeKit1") << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

} // namespace

namespace Rtkit {

bool makeThreadRealtime(pid_t tid, int priority, QString* why) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        *why = QStringLiteral("no system bus");
        return false;
    }
    const QVariant maxPriority = rtkitProperty(bus, QStringLiteral("MaxRealtimePriority"));
    if (maxPriority.isValid())
        priority = std::min(priority, maxPriority.toInt());
    // rtkit only grants threads whose CPU time without blocking is capped.
    const QVariant maxRtTime = rtkitProperty(bus, QStringLiteral("RTTimeUSecMax"));
    rlimit rtTime{};
    rtTime.rlim_cur = rtTime.rlim_max = maxRtTime.isValid() ? maxRtTime.toULongLong() : 200000;
    setrlimit(RLIMIT_RTTIME, &rtTime);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
        QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("MakeThreadRealtime"));
    call << QVariant::fromValue(static_cast<qulonglong>(tid))
         << QVariant::fromValue(static_cast<uint>(priority));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 1000);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    *why = reply.errorMessage();
    return false;
}

} // namespace Rtkit
