#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

struct OutputChoice;
struct WebOptions;

// The program's command line, read before any QApplication exists so that --help, --version and
// a mistake in the options need no display. Qt's own -platform/-display/-style options pass
// through to the application.
class CommandLine {
public:
    CommandLine();

    // Parses the arguments (argv[0] included). False when the program is to end at once: after
    // --help, --version or --list-outputs (printed to stdout, exitCode() 0) or a mistake (a
    // Hungarian line on stderr, exitCode() 2).
    bool parse(const QStringList& arguments);
    int exitCode() const { return m_exitCode; }
    // After a mistake: the Hungarian text printed for it.
    QString errorText() const { return m_error; }

    // The effect file named on the command line, absolute; empty when none.
    QString file() const { return m_file; }

    // Applies --output and the outputs' own options, if given, to choice. False with a Hungarian error when a
    // value is malformed; choice is then unchanged.
    bool applyOutputOptions(OutputChoice& choice, QString* error) const;

    // Applies --web and --web-key-file, if given. False with a Hungarian error when malformed.
    bool applyWebOptions(WebOptions& web, QString* error) const;

    // For options added elsewhere: set them up before parse(), read them after.
    QCommandLineParser& parser() { return m_parser; }

    // Whether a window can be shown at all: a display, a Wayland socket or a Qt platform named.
    static bool hasDisplay(const QStringList& arguments);
    static QString noDisplayMessage();

    static QStringList arguments(int argc, char* argv[]);

private:
    QString helpText() const;
    bool mistake(const QString& text);

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_listOutputs;
    // The player's: main() hands a command line with --play to the player before this parser, so
    // here they are only listed in the help, and --speed alone is a mistake.
    QCommandLineOption m_play;
    QCommandLineOption m_speed;
    QCommandLineOption m_preview;
    QString m_file;
    QString m_error;
    int m_exitCode = 0;
};
