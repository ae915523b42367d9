#include "Dialog.h"

#include "TaskbarHint.h"
#include "Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

struct FixedText {
    const char* name;
    int left, top, width, height;
    const char* text;
};

// Version and date keep their places; the other lines fill the frame around them.
const FixedText infoLabels[] = {
    {"Label1", 240, 360, 3735, 255, "Készítette: a KTR fejlesztőcsapata"},
    {"Label3", 240, 600, 3735, 255, "Kapcsolat: a program terjesztőjénél"},
    {"Label2", 240, 840, 3735, 255, "Változat: 4.0"},
    {"Label4", 240, 1140, 3735, 255, "Szabadon használható és terjeszthető."},
    {"Label5", 240, 1380, 3735, 255, "Garancia nélkül, ahogy van."},
    {"Label6", 240, 1800, 2535, 255, "Dátum: 2003.09.26"},
    {"Label7", 240, 2040, 3735, 255, "A használat kockázata a felhasználóé."},
};

const FixedText descriptionLabels[] = {
    {"Label12", 120, 360, 3855, 735,
     "A program segítségével látványos fény effektusokat készíthetünk a Parallel port alábbi kimeneteinek "
     "vezérlésével:"},
    {"Label8", 120, 1080, 3135, 255, "D0 - D7   (LPT 2 - 9-es láb)"},
    {"Label9", 120, 1320, 3735, 255, "C3 - C0    (LPT17; 16; 14; 1-es láb) "},
};

template <size_t N> void addLabels(QWidget* parent, const FixedText (&texts)[N]) {
    for (const FixedText& text : texts) {
        QLabel* label = makeLabel(parent, text.name, QString::fromUtf8(text.text),
                                  twipsRect(text.left, text.top, text.width, text.height));
        label->setWordWrap(text.height > 255); // taller than one line: the description
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& title, const QRect& rect) {
    auto* frame = new QGroupBox(title, parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setGeometry(rect);
    return frame;
}

} // namespace

Dialog::Dialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("Névjegy"));
    // A fixed frame with a close box and no task-bar button. It must keep the program alive
    // while open, which tool windows do not do by default.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFont(windowFont());
    setFixedSize(twips(4335), twips(4800));

    QGroupBox* info = makeFrame(this, "Frame1", QStringLiteral("Info"), twipsRect(120, 120, 4095, 2295));
    addLabels(info, infoLabels);
    QGroupBox* description =
        makeFrame(this, "Frame2", QStringLiteral("Leírás"), twipsRect(120, 2520, 4095, 1695));
    addLabels(description, descriptionLabels);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setGeometry(twipsRect(1560, 4320, 1215, 375));
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    ok->setFocus();
    hideFromTaskbar(this);
}
