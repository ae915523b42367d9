#include "OutputChoice.h"

#include "OutputRegistry.h"

#include <QCommandLineParser>
#include <QSettings>

namespace {

const QString Group = QStringLiteral("output");

QSettings programSettings() {
    return {QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"), QStringLiteral("ktr")};
}

} // namespace

std::optional<int> outputNumber(const QString& text, int min, int max) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || text.startsWith(QLatin1Char('+')) || text.trimmed() != text || value < min || value > max)
        return std::nullopt;
    return static_cast<int>(value);
}

OutputChoice::OutputChoice() {
    for (const OutputBackend* backend : OutputRegistry::all()) {
        const OutputSettings defaults = backend->defaults();
        for (auto it = defaults.begin(); it != defaults.end(); ++it)
            settings.insert(it.key(), it.value());
    }
}

const OutputBackend& OutputChoice::backend() const {
    if (const OutputBackend* backend = OutputRegistry::find(kind))
        return *backend;
    return *OutputRegistry::find(DefaultKind);
}

bool OutputChoice::operator==(const OutputChoice& other) const {
    return kind == other.kind && settings == other.settings;
}

OutputChoice OutputChoice::load(QSettings& stored) {
    OutputChoice choice;
    stored.beginGroup(Group);
    const QString kind = stored.value(QStringLiteral("kind")).toString();
    if (OutputRegistry::find(kind))
        choice.kind = kind;
    for (const OutputBackend* backend : OutputRegistry::all()) {
        const OutputSettings defaults = backend->defaults();
        for (auto it = defaults.begin(); it != defaults.end(); ++it) {
            const QString value = stored.value(it.key()).toString();
            if (stored.contains(it.key()) && backend->validSetting(it.key(), value))
                choice.settings[it.key()] = value;
        }
    }
    stored.endGroup();
    return choice;
}

void OutputChoice::save(QSettings& stored) const {
    stored.beginGroup(Group);
    stored.setValue(QStringLiteral("kind"), kind);
    for (auto it = settings.begin(); it != settings.end(); ++it)
        stored.setValue(it.key(), it.value());
    stored.endGroup();
}

OutputChoice OutputChoice::loadSaved() {
    QSettings settings = programSettings();
    return load(settings);
}

void OutputChoice::saveAsDefault() const {
    QSettings settings = programSettings();
    save(settings);
}

QString OutputChoice::outputForms() {
    QStringList forms;
    for (const OutputBackend* backend : OutputRegistry::all())
        forms << backend->syntax();
    const QString last = forms.takeLast();
    return forms.isEmpty() ? last : forms.join(QStringLiteral(", ")) + QStringLiteral(" vagy ") + last;
}

bool OutputChoice::applyOutputOption(const QString& value, QString* error) {
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    const QString name = value.left(colon);
    const std::optional<QString> arguments =
        colon < 0 ? std::nullopt : std::optional<QString>(value.mid(colon + 1));
    const OutputBackend* backend = OutputRegistry::find(name);
    OutputSettings changed = settings;
    QString problem;
    if (value.isEmpty())
        problem = QStringLiteral("A --output értéke üres.");
    else if (!backend)
        problem = QStringLiteral("Ismeretlen kimenet: „%1”.").arg(value);
    else if (!backend->parse(arguments, changed, &problem) && problem.isEmpty())
        problem = QStringLiteral("Hibás kimenet: „%1”.").arg(value);
    if (!problem.isEmpty()) {
        if (error)
            *error =
                problem + QStringLiteral(" A --output értéke lehet: ") + outputForms() + QLatin1Char('.');
        return false;
    }
    kind = name;
    settings = changed;
    return true;
}

bool OutputChoice::applyOption(const QString& name, const QString& value, QString* error) {
    for (const OutputBackend* backend : OutputRegistry::all()) {
        for (const OutputOption& option : backend->options()) {
            if (option.name != name)
                continue;
            OutputSettings changed = settings;
            if (!backend->applyOption(name, value, changed, error))
                return false;
            settings = changed;
            return true;
        }
    }
    if (error)
        *error = QStringLiteral("Ismeretlen kapcsoló: --%1").arg(name);
    return false;
}

QList<QCommandLineOption> OutputChoice::commandLineOptions() {
    QList<QCommandLineOption> options{
        {QStringLiteral("output"),
         QStringLiteral("Kimenet erre a futásra (nem menti): ") + outputForms() + QLatin1Char('.'),
         QStringLiteral("kimenet")}};
    for (const OutputBackend* backend : OutputRegistry::all()) {
        for (const OutputOption& option : backend->options())
            options.append({option.name, option.description, option.valueName});
    }
    return options;
}

bool OutputChoice::applyCommandLine(const QCommandLineParser& parser, QString* error) {
    OutputChoice changed = *this;
    for (const QCommandLineOption& option : commandLineOptions()) {
        const QString name = option.names().constFirst();
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name);
        const bool ok = name == QLatin1String("output") ? changed.applyOutputOption(value, error)
                                                        : changed.applyOption(name, value, error);
        if (!ok)
            return false;
    }
    *this = changed;
    return true;
}
