#pragma once

#include "ui/RemoteDialog.h"
#include "web/WebKey.h"
#include "web/WebOptions.h"
#include "web/WebServer.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QWidget;
class ShowControl;

// The window's side of the web page: starts the server for --web, and "Távvezérlés…" shows the
// address, the key and a QR code and switches the web on and off for this run. The key is made
// on first use beside ktr.ini (or in --web-key-file).
class RemoteControl : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 8080;

    RemoteControl(ShowControl& show, QWidget* window);

    // --web and --web-key-file: switches the web on at once when asked for, and prints the
    // address to open on stderr.
    void configure(const WebOptions& options);
    ~RemoteControl() override;

    // Starts or stops the server. Starting reports a failure once per run in a message box (and
    // on stderr), and returns false.
    bool setEnabled(bool on);
    bool enabled() const { return m_server != nullptr; }

    void setPort(quint16 port) { m_options.port = port; }
    quint16 port() const { return m_options.port; }
    // The address to open with the key, empty while off.
    QString pageUrl() const;
    QByteArray key() const;
    QString lastError() const { return m_error; }
    WebServer* server() const { return m_server; }

    // The "Távvezérlés…" entry, for a menu; it opens the dialog.
    QAction* action() const { return m_action; }
    RemoteDialog* dialog() const { return m_dialog; }
    void showDialog();

signals:
    void changed();

private:
    void report(const QString& message);

    ShowControl& m_show;
    WebOptions m_options;
    QWidget* m_window;
    QAction* m_action;
    QPointer<WebServer> m_server;
    QPointer<RemoteDialog> m_dialog;
    QString m_error;
    bool m_reported = false;
};
