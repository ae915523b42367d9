#pragma once

#include <QByteArray>
#include <QString>

// Qt's own file dialog stores its state (history, sidebar, last folder) in QtProject.conf in the
// user's configuration folder when it is destroyed, unconditionally. The program keeps what it
// remembers in its own settings file only, so this guard, alive around a file dialog's whole
// life, puts that file back as it found it: removed when it did not exist, else with its bytes
// from before. (A write by another Qt program to that file while a KTR file box is open is
// undone with it; that program's dialog state is all the file holds.)
class QtStateGuard {
public:
    QtStateGuard();
    ~QtStateGuard();

    QtStateGuard(const QtStateGuard&) = delete;
    QtStateGuard& operator=(const QtStateGuard&) = delete;

    static QString qtStateFile();

private:
    QString m_path;
    bool m_existed = false;
    QByteArray m_bytes;
};
