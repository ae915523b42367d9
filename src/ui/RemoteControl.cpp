#include "RemoteControl.h"

#include "RemoteDialog.h"
#include "web/WebKey.h"
#include "web/WebServer.h"

#include <QAction>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>

RemoteControl::RemoteControl(ShowControl& show, QWidget* window)
    : QObject(window), m_show(show), m_window(window) {
    m_options.port = DefaultPort;
    m_action = new QAction(QStringLiteral("Távvezérlés…"), this);
    m_action->setObjectName(QStringLiteral("tavvezerles"));
    m_action->setToolTip(QStringLiteral("A műsor vezérlése telefonról vagy másik gépről, böngészőből"));
    connect(m_action, &QAction::triggered, this, &RemoteControl::showDialog);
}

void RemoteControl::configure(const WebOptions& options) {
    setEnabled(false);
    m_options = options;
    if (!m_options.enabled) {
        m_options.port = DefaultPort;
        return;
    }
    if (setEnabled(true)) {
        const QByteArray line = QStringLiteral("ktr: távvezérlés: %1\n").arg(pageUrl()).toLocal8Bit();
        std::fputs(line.constData(), stderr);
    }
}

RemoteControl::~RemoteControl() {
    delete m_server.data();
}

bool RemoteControl::setEnabled(bool on) {
    if (on == enabled())
        return true;
    if (!on) {
        delete m_server.data(); // closes every connection with it
        emit changed();
        return true;
    }
    m_error.clear();
    std::unique_ptr<WebServer> server =
        WebServer::start(m_show, m_options, WebKey::windowKeyPath(), &m_error);
    if (!server) {
        report(m_error);
        return false;
    }
    m_server = server.release();
    m_server->setParent(this);
    emit changed();
    return true;
}

// Once per run: a port that stays taken need not be told about at every try.
void RemoteControl::report(const QString& message) {
    std::fprintf(stderr, "ktr: %s\n", message.toLocal8Bit().constData());
    emit changed();
    if (m_reported)
        return;
    m_reported = true;
    auto* box = new QMessageBox(QMessageBox::Warning, m_window ? m_window->windowTitle() : QString(),
                                message + QStringLiteral("\n\nA távvezérlés ki van kapcsolva; a műsor ettől "
                                                         "függetlenül működik."),
                                QMessageBox::Ok, m_window);
    box->setObjectName(QStringLiteral("remoteMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->show();
}

QString RemoteControl::pageUrl() const {
    return m_server ? m_server->pageUrl() : QString();
}

QByteArray RemoteControl::key() const {
    return m_server ? m_server->key() : QByteArray();
}

void RemoteControl::showDialog() {
    if (!m_dialog) {
        m_dialog = new RemoteDialog(*this, m_window);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}
