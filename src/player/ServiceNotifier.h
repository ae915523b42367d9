#pragma once

#include <QByteArray>
#include <QString>

#include <sys/socket.h>
#include <sys/un.h>

// Tells systemd how a Type=notify service stands, over the datagram socket it names in
// NOTIFY_SOCKET (the sd_notify protocol). Without the variable, as outside a service, every call
// does nothing. systemd holds a reload asked for before ready() until then, and takes the
// service as reloading from reloading() until the next ready().
class ServiceNotifier {
public:
    ServiceNotifier();
    ~ServiceNotifier();
    ServiceNotifier(const ServiceNotifier&) = delete;
    ServiceNotifier& operator=(const ServiceNotifier&) = delete;

    bool isActive() const { return m_fd >= 0; }
    // The service is up (again), with a line for systemctl status.
    void ready(const QString& status);
    void reloading();
    void stopping();
    // One message of "KEY=value" lines. False when it could not be sent.
    bool notify(const QByteArray& message);

private:
    int m_fd = -1;
    sockaddr_un m_address{};
    socklen_t m_length = 0;
};
