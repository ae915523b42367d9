#pragma once

#include <QtTest>

// Where a test program cannot start another program, the test that needs one is skipped with the
// reason, never failed: under qemu-user (the arm64 suite), QProcess's clone() with CLONE_PIDFD is
// refused. scripts/cross-build.sh sets the variable to the reason; nothing else sets it.
#define SKIP_WITHOUT_CHILD_PROCESSES()                                                                       \
    do {                                                                                                     \
        const QByteArray reason = qgetenv("KTR_TEST_NO_CHILD_PROCESSES");                                    \
        if (!reason.isEmpty())                                                                               \
            QSKIP(reason.constData());                                                                       \
    } while (false)
