#include "output/SystemPort.h"
#include "ui/Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ktr"));
    SystemPort port;
    Form1 window(port);
    window.show();
    return app.exec();
}
