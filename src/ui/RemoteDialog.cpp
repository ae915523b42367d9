#include "RemoteDialog.h"

#include "RemoteControl.h"
#include "web/QrCode.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int ModulePixels = 4;

QImage qrImage(const QrCode& code) {
    const int quiet = 4; // modules of light border, as the standard asks for a picture
    const int side = (code.size() + 2 * quiet) * ModulePixels;
    QImage image(side, side, QImage::Format_Mono);
    image.fill(1);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < code.size(); ++y) {
        for (int x = 0; x < code.size(); ++x) {
            if (!code.dark(x, y))
                continue;
            for (int dy = 0; dy < ModulePixels; ++dy) {
                for (int dx = 0; dx < ModulePixels; ++dx)
                    image.setPixel((x + quiet) * ModulePixels + dx, (y + quiet) * ModulePixels + dy, 0);
            }
        }
    }
    return image;
}

} // namespace

RemoteDialog::RemoteDialog(RemoteControl& remote, QWidget* parent) : QDialog(parent), m_remote(remote) {
    setObjectName(QStringLiteral("remoteDialog"));
    setWindowTitle(QStringLiteral("Távvezérlés"));
    auto* layout = new QVBoxLayout(this);
    m_on = new QCheckBox(QStringLiteral("Távvezérlés &bekapcsolva (erre a futásra)"), this);
    layout->addWidget(m_on);

    auto* form = new QFormLayout;
    m_port = new QSpinBox(this);
    m_port->setRange(1, 65535);
    m_port->setValue(remote.port());
    form->addRow(QStringLiteral("&Port:"), m_port);
    m_address = new QLabel(this);
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    form->addRow(QStringLiteral("Cím:"), m_address);
    m_key = new QLabel(this);
    m_key->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_key->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), font().pointSize()));
    form->addRow(QStringLiteral("Kulcs:"), m_key);
    layout->addLayout(form);

    m_qr = new QLabel(this);
    m_qr->setAlignment(Qt::AlignCenter);
    m_qr->setMinimumSize(200, 200);
    layout->addWidget(m_qr);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_on, &QCheckBox::clicked, this, [this](bool on) {
        m_remote.setPort(quint16(m_port->value()));
        m_remote.setEnabled(on);
        refresh();
    });
    connect(&m_remote, &RemoteControl::changed, this, &RemoteDialog::refresh);
    refresh();
}

void RemoteDialog::refresh() {
    const bool on = m_remote.enabled();
    m_on->setChecked(on);
    m_port->setEnabled(!on);
    const QString url = m_remote.pageUrl();
    m_address->setText(on ? url.section(QLatin1Char('#'), 0, 0) : QStringLiteral("–"));
    m_key->setText(on ? QString::fromLatin1(m_remote.key()) : QStringLiteral("–"));
    if (on) {
        m_qr->setPixmap(QPixmap::fromImage(qrImage(QrCode(url.toUtf8()))));
        m_note->setText(QStringLiteral("Olvassa be a kódot a telefonnal: a böngészőben a műsor nyílik meg, "
                                       "belépve. A kulcsot csak az kapja meg, akinek megmutatja."));
    } else {
        m_qr->clear();
        m_note->setText(m_remote.lastError().isEmpty() ? QStringLiteral("A távvezérlés ki van kapcsolva.")
                                                       : m_remote.lastError());
    }
    adjustSize();
}
