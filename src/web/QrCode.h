#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// A QR code of a short text (libqrencode), as a square of dark and light modules. The window draws
// it as a picture, the player as text on its console and in the journal.
class QrCode {
public:
    // Empty (size() 0) when the text does not fit a QR code.
    explicit QrCode(const QByteArray& text);

    int size() const { return m_size; }
    bool dark(int x, int y) const { return m_modules[y * m_size + x]; }

    // Two rows of modules to a line of half-block characters, light modules drawn, with the quiet
    // zone around: scannable from a dark terminal, as qrencode's own UTF-8 drawing is.
    QString text() const;

    static constexpr int QuietZone = 2;

private:
    int m_size = 0;
    QVector<bool> m_modules;
};
