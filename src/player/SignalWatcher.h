#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP as ordinary events of the event loop (signalfd), so that their
// handling may do anything the rest of the program does. blockPlayerSignals() must run before any
// thread is started: threads inherit the mask, and a signal not blocked in every thread could be
// delivered to one that runs the default action.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    static void blockPlayerSignals();
    // The same with the bare system call, for a program's first instructions (.preinit_array),
    // before any library is initialised: a SIGHUP there would otherwise end the program.
    static void blockPlayerSignalsAtStart();
    static void unblockPlayerSignals();
    bool isValid() const { return m_fd >= 0; }

signals:
    void terminateRequested(int signal);
    void reloadRequested();

private:
    void readSignals();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
