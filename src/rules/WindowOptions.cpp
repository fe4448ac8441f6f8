#include "WindowOptions.h"

#include "PublishOptions.h"

namespace {

// Options the window system reads itself (QGuiApplication, QApplication and the X11 platform),
// spelt with one dash or two; the first group takes a value.
const QStringList kToolkitWithValue = {
    QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"), QStringLiteral("plugin"),
    QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
    QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
    QStringLiteral("session"),       QStringLiteral("display"),
    QStringLiteral("geometry"),      QStringLiteral("style"),
    QStringLiteral("stylesheet"),    QStringLiteral("name"),
    QStringLiteral("title")};
const QStringList kToolkitSwitches = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("sync")};

// "-platform" or "--platform" as "platform"; empty for anything not an option.
QString bareName(const QString& arg) {
    if (arg.startsWith(u"--"))
        return arg.mid(2);
    if (arg.startsWith(u'-'))
        return arg.mid(1);
    return {};
}

} // namespace

std::optional<WindowOptions> parseWindowOptions(const QStringList& args, QString& error,
                                                const QStringList& models) {
    WindowOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"-h" || arg == u"--help" || arg == u"-?") {
            options.help = true;
            return options;
        }
        const qsizetype equals = arg.indexOf(u'=');
        const QString name = bareName(equals > 0 ? arg.left(equals) : arg);
        const bool inlineValue = equals > 0;
        if (name.isEmpty()) {
            error = QStringLiteral("unexpected argument '%1' (see --help)").arg(arg);
            return std::nullopt;
        }
        if (kToolkitSwitches.contains(name) && !inlineValue)
            continue;
        const bool twoDashes = arg.startsWith(u"--");
        if (twoDashes && !inlineValue && applyPublishSwitch(options.mqtt, arg))
            continue;
        const QString longName = QStringLiteral("--") + name;
        const bool broker = twoDashes && isPublishOption(longName);
        const bool ours = ((name == u"capture" || name == u"model") && twoDashes) || broker;
        if (!ours && !kToolkitWithValue.contains(name)) {
            error = QStringLiteral("unknown option '%1' (see --help)").arg(arg);
            return std::nullopt;
        }
        if (!inlineValue && i + 1 >= args.size()) {
            error = QStringLiteral("%1 needs a value").arg(arg);
            return std::nullopt;
        }
        const QString value = inlineValue ? arg.mid(equals + 1) : args[++i];
        if (!ours)
            continue;
        if (broker) {
            if (!*applyPublishOption(options.mqtt, longName, value, error))
                return std::nullopt;
            continue;
        }
        if (name == u"model") {
            if (!models.contains(value, Qt::CaseInsensitive)) {
                error = QStringLiteral("--model '%1': expected %2")
                            .arg(value, models.join(QStringLiteral(", ")));
                return std::nullopt;
            }
            options.model = value;
            continue;
        }
        if (value.isEmpty()) {
            error = QStringLiteral("--capture needs a file name");
            return std::nullopt;
        }
        options.capturePath = value;
    }
    error = publishOptionsProblem(options.mqtt);
    if (!error.isEmpty())
        return std::nullopt;
    return options;
}

QString windowUsage(const QStringList& models, const QString& standard) {
    return QStringLiteral(R"(Usage: velmar [--model NAME] [--capture FILE] [--mqtt URL [options]]
The meter's interface program: mirrors the meter's display, moves the dial,
plots the trend chart, raises the MIN/MAX alarms and records the readings into
the table Velmarbdb.DB in the current folder.

  --model NAME       the meter: %1 (default %2)
  --capture FILE     write every byte received and sent to a capture file
%3  -h, --help         show this text

The ports COM1 to COM4 map to VELMAR_COM1 .. VELMAR_COM4 when set, else to
/dev/ttyUSB<n-1>, /dev/ttyACM<n-1> or /dev/ttyS<n-1>. The window system's own
options (-platform NAME, -display HOST:N, -style NAME, ...) are passed to it.

With --mqtt, the meter's name in the topics defaults to <host>-COM1. Readings
the broker has not acknowledged wait in ".<table file>.mqtt-queue" beside the
table and are sent in order when it is reachable again, by the next start too;
the status line says when the broker is away.

Exit codes: 0 the window was closed, 1 the capture file cannot be written,
2 bad arguments or broker settings that cannot be used (see velmar-log --help).
)")
        .arg(models.join(QStringLiteral(", ")), standard, publishUsage());
}
