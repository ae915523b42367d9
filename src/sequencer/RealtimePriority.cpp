#include "RealtimePriority.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

#include <algorithm>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace RealtimePriority {

bool makeCurrentThreadRealtime() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0); // wake exactly on time, not up to 50 us late
    int priority = Priority;
    rlimit limit{};
    // Without CAP_SYS_NICE the limit caps the priority; try what it allows.
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        priority = std::min<int>(priority, static_cast<int>(limit.rlim_cur));
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

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

bool askRtkit(pid_t tid, QString* why) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        *why = QStringLiteral("no system bus");
        return false;
    }
    int priority = Priority;
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

} // namespace RealtimePriority
