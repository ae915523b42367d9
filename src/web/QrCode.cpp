#include "QrCode.h"

#include <qrencode.h>

QrCode::QrCode(const QByteArray& text) {
    QRcode* code = QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M);
    if (!code)
        return;
    m_size = code->width;
    m_modules.resize(m_size * m_size);
    for (int i = 0; i < m_size * m_size; ++i)
        m_modules[i] = code->data[i] & 1;
    QRcode_free(code);
}

QString QrCode::text() const {
    if (m_size == 0)
        return QString();
    const int total = m_size + 2 * QuietZone;
    const auto light = [this](int x, int y) {
        x -= QuietZone;
        y -= QuietZone;
        return x < 0 || y < 0 || x >= m_size || y >= m_size || !dark(x, y);
    };
    QString out;
    for (int y = 0; y < total; y += 2) {
        for (int x = 0; x < total; ++x) {
            const bool top = light(x, y);
            const bool bottom = y + 1 >= total || light(x, y + 1);
            out += top && bottom ? QChar(0x2588) : top ? QChar(0x2580) : bottom ? QChar(0x2584) : QChar(u' ');
        }
        out += QLatin1Char('\n');
    }
    return out;
}
