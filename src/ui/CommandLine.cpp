#include "CommandLine.h"

#include "output/ListOutputs.h"
#include "output/OutputChoice.h"
#include "web/WebOptions.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

// Options of QApplication itself that take a value; they are handed on untouched.
const QStringList QtValueOptions = {QStringLiteral("-platform"), QStringLiteral("-display"),
                                    QStringLiteral("-style"), QStringLiteral("-qwindowgeometry")};

QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (i > 0 && QtValueOptions.contains(arguments[i])) {
            ++i; // and its value
            continue;
        }
        kept << arguments[i];
    }
    return kept;
}

// QCommandLineParser reports in English, before any translation could be loaded.
QString hungarian(const QString& error) {
    static const struct {
        const char* pattern;
        const char* text;
    } known[] = {
        {"^Unknown option '(.*)'\\.$", "ismeretlen kapcsoló: %1"},
        {"^Unknown options: (.*)\\.$", "ismeretlen kapcsolók: %1"},
        {"^Missing value after '(.*)'\\.$", "hiányzik az érték ez után: %1"},
        {"^Unexpected value after '(.*)'\\.$", "nem vár értéket: %1"},
    };
    for (const auto& entry : known) {
        const QRegularExpressionMatch match =
            QRegularExpression(QString::fromLatin1(entry.pattern)).match(error);
        if (match.hasMatch())
            return QString::fromUtf8(entry.text).arg(match.captured(1));
    }
    return error;
}

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

CommandLine::CommandLine()
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Kiírja ezt a súgót, és kilép.")),
      m_version({QStringLiteral("v"), QStringLiteral("version")},
                QStringLiteral("Kiírja a program változatát, és kilép.")),
      m_listOutputs(
          QStringLiteral("list-outputs"),
          QStringLiteral("Kiírja a most elérhető kimeneteket (a kiválasztó kapcsolókkal), és kilép.")),
      m_play(QStringLiteral("play"),
             QStringLiteral(
                 "Lejátssza az effektet vagy a műsort (MŰSOR.show: effektek sorban, ütemezve) ablak és "
                 "kijelző nélkül (SIGTERM: vége, SIGHUP: újraolvasás)."),
             QStringLiteral("FÁJL.eff")),
      m_speed(QStringLiteral("speed"),
              QStringLiteral("A --play mellett: a lépésköz ezredmásodpercben (2..800), a fájlé helyett."),
              QStringLiteral("ms")),
      m_preview(
          QStringLiteral("preview"),
          QStringLiteral("A --play MŰSOR.show mellett: kiírja, mikor indul és áll meg a műsor a következő "
                         "NAPOK napban (1..366), és kilép; nem játszik le semmit."),
          QStringLiteral("NAPOK")) {
    m_parser.setApplicationDescription(
        QStringLiteral("KTR (zorvány): futófény-szerkesztő és -lejátszó a PC párhuzamos portjára."));
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    m_parser.addOptions(OutputChoice::commandLineOptions());
    m_parser.addOptions(WebOptions::commandLineOptions());
    m_parser.addOption(m_listOutputs);
    m_parser.addOption(m_play);
    m_parser.addOption(m_speed);
    m_parser.addOption(m_preview);
    m_parser.addPositionalArgument(QStringLiteral("FÁJL.eff"),
                                   QStringLiteral("Induláskor megnyitandó effektfájl."),
                                   QStringLiteral("[FÁJL.eff]"));
}

QStringList CommandLine::arguments(int argc, char* argv[]) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

bool CommandLine::parse(const QStringList& arguments) {
    const QStringList args = withoutQtOptions(arguments);
    if (!m_parser.parse(args)) {
        return mistake(hungarian(m_parser.errorText()) + QStringLiteral("\nA kapcsolók listája: ktr --help"));
    }
    if (m_parser.isSet(m_help)) {
        print(stdout, helpText());
        m_exitCode = 0;
        return false;
    }
    if (m_parser.isSet(m_version)) {
        print(stdout, QStringLiteral("ktr %1\n").arg(QString::fromLatin1(KTR_VERSION)));
        m_exitCode = 0;
        return false;
    }
    if (m_parser.isSet(m_listOutputs)) {
        OutputChoice configured = OutputChoice::loadSaved();
        QString error;
        if (!configured.applyCommandLine(m_parser, &error))
            return mistake(error);
        QStringList problems;
        print(stdout, listOutputs(configured, &problems));
        for (const QString& problem : problems)
            print(stderr, QStringLiteral("ktr: %1\n").arg(problem));
        m_exitCode = 0;
        return false;
    }
    if (m_parser.isSet(m_speed)) {
        return mistake(QStringLiteral("a --speed csak a --play mellett használható."));
    }
    if (m_parser.isSet(m_preview)) {
        return mistake(QStringLiteral("a --preview csak a --play MŰSOR.show mellett használható."));
    }
    const QStringList files = m_parser.positionalArguments();
    if (files.size() > 1) {
        return mistake(QStringLiteral("egyszerre csak egy effektfájl nyitható meg."));
    }
    if (!files.isEmpty())
        m_file = QFileInfo(files.constFirst()).absoluteFilePath();
    return true;
}

bool CommandLine::mistake(const QString& text) {
    m_error = text;
    print(stderr, QStringLiteral("ktr: %1\n").arg(text));
    m_exitCode = 2;
    return false;
}

bool CommandLine::applyWebOptions(WebOptions& web, QString* error) const {
    return web.applyCommandLine(m_parser, error);
}

bool CommandLine::applyOutputOptions(OutputChoice& choice, QString* error) const {
    return choice.applyCommandLine(m_parser, error);
}

// Qt's own help text, with its headings in Hungarian and the program's name in the usage line.
QString CommandLine::helpText() const {
    QString text = m_parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("ktr"));
    text.replace(QStringLiteral("Usage:"), QStringLiteral("Használat:"));
    text.replace(QStringLiteral("[options]"), QStringLiteral("[kapcsolók]"));
    text.replace(QStringLiteral("Options:"), QStringLiteral("Kapcsolók:"));
    text.replace(QStringLiteral("Arguments:"), QStringLiteral("Argumentumok:"));
    return text;
}

bool CommandLine::hasDisplay(const QStringList& arguments) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return arguments.contains(QStringLiteral("-platform")) || arguments.contains(QStringLiteral("-display"));
}

QString CommandLine::noDisplayMessage() {
    return QStringLiteral("ktr: nincs grafikus kijelző (a DISPLAY és a WAYLAND_DISPLAY sincs beállítva), "
                          "az ablak nem nyitható meg.\n");
}
