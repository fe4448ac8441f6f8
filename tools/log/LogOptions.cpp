#include "LogOptions.h"

#include "MeterProfile.h"
#include "PublishOptions.h"

#include "RunDuration.h"
#include "TableFileName.h"

#include <QRegularExpression>

#include <limits>

namespace {

// A whole number from min to max, or nothing.
std::optional<qint64> wholeNumber(const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

bool isComName(const QString& port) {
    static const QRegularExpression com(QStringLiteral("^COM[1-4]$"),
                                        QRegularExpression::CaseInsensitiveOption);
    return com.match(port).hasMatch();
}

const QStringList kOptions = {
    QStringLiteral("--port"),     QStringLiteral("--table"),      QStringLiteral("--interval"),
    QStringLiteral("--repeat"),   QStringLiteral("--limit"),      QStringLiteral("--count"),
    QStringLiteral("--duration"), QStringLiteral("--save-every"), QStringLiteral("--format"),
    QStringLiteral("--capture"),  QStringLiteral("--model")};

// Applies one option with its value; false, with error set, when the value does not fit.
bool apply(LogOptions& o, const QString& name, const QString& value, QString& error) {
    constexpr qint64 kMaxInt = std::numeric_limits<qint32>::max();
    const auto bad = [&](const char* wanted) {
        error = QStringLiteral("%1 '%2': expected %3").arg(name, value, QLatin1String(wanted));
        return false;
    };
    if (const std::optional<bool> applied = applyPublishOption(o.mqtt, name, value, error))
        return *applied;
    if (name == u"--model") {
        const MeterProfile* model = MeterProfile::named(value);
        if (!model) {
            error = QStringLiteral("%1 '%2': expected %3")
                        .arg(name, value, MeterProfile::names().join(QStringLiteral(", ")));
            return false;
        }
        o.model = model->name;
    } else if (name == u"--port") {
        if (!isComName(value) && !value.startsWith(u'/'))
            return bad("COM1 to COM4 or a device path such as /dev/ttyUSB0");
        o.port = isComName(value) ? value.toUpper() : value;
    } else if (name == u"--table") {
        if (const std::optional<QString> problem = TableFileName::problem(value)) {
            error = QStringLiteral("%1 '%2': %3").arg(name, value, *problem);
            return false;
        }
        o.table = value;
    } else if (name == u"--interval") {
        const auto n = wholeNumber(value, 0, kMaxInt);
        if (!n)
            return bad("whole seconds, 0 or more");
        o.intervalSeconds = qint32(*n);
    } else if (name == u"--repeat") {
        if (value != u"skip" && value != u"keep")
            return bad("skip or keep");
        o.skipRepeats = value == u"skip";
    } else if (name == u"--limit") {
        const auto n = wholeNumber(value, 1, kMaxInt);
        if (!n)
            return bad("a number of readings, 1 or more");
        o.limit = qint32(*n);
    } else if (name == u"--count") {
        const auto n = wholeNumber(value, 1, std::numeric_limits<qint64>::max());
        if (!n)
            return bad("a number of readings, 1 or more");
        o.count = *n;
    } else if (name == u"--duration") {
        QString problem;
        o.durationMs = RunDuration::fromText(value, problem);
        if (!o.durationMs) {
            error = QStringLiteral("%1 '%2': %3").arg(name, value, problem);
            return false;
        }
    } else if (name == u"--save-every") {
        const auto n = wholeNumber(value, 1, 24 * 3600);
        if (!n)
            return bad("whole seconds from 1 to 86400");
        o.saveEverySeconds = int(*n);
    } else if (name == u"--format") {
        if (value != u"text" && value != u"jsonl")
            return bad("text or jsonl");
        o.format = value == u"text" ? LogOptions::Format::Text : LogOptions::Format::Jsonl;
    } else if (name == u"--capture") {
        if (value.isEmpty())
            return bad("a file name");
        o.capturePath = value;
    } else {
        error = QStringLiteral("unknown option '%1' (see --help)").arg(name);
        return false;
    }
    return true;
}

} // namespace

std::optional<LogOptions> parseLogOptions(const QStringList& args, QString& error) {
    LogOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args[i];
        if (name == u"-h" || name == u"--help") {
            options.help = true;
            return options;
        }
        if (applyPublishSwitch(options.mqtt, name))
            continue;
        QString value;
        const qsizetype equals = name.indexOf(u'=');
        if (name.startsWith(u"--") && equals > 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        } else if (!kOptions.contains(name) && !isPublishOption(name)) {
            error = name.startsWith(u"--")
                        ? QStringLiteral("unknown option '%1' (see --help)").arg(name)
                        : QStringLiteral("unexpected argument '%1'").arg(name);
            return std::nullopt;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name.startsWith(u"--") ? QStringLiteral("%1 needs a value").arg(name)
                                           : QStringLiteral("unexpected argument '%1'").arg(name);
            return std::nullopt;
        }
        if (!apply(options, name, value, error))
            return std::nullopt;
    }
    error = publishOptionsProblem(options.mqtt);
    if (!error.isEmpty())
        return std::nullopt;
    if (options.port.isEmpty() || options.table.isEmpty()) {
        error = QStringLiteral("--port and --table are both needed (see --help)");
        return std::nullopt;
    }
    return options;
}

QString logUsage() {
    return QStringLiteral(R"(Usage: velmar-log --port PORT --table FILE [options]
Records the readings of a VelmarD meter (or another model) into a Paradox table, as the window's
recording does, without a window. Each stored reading is one line on standard
output; what happens to the port and the table goes to standard error.

  --model M          the meter: VelmarC, VelmarD (default), Tessik or fs9721
  --port PORT        COM1 to COM4 (mapped as the window maps them: VELMAR_COM<n>,
                     else /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>, /dev/ttyS<n-1>) or a
                     device path such as /dev/ttyUSB0
  --table FILE       the table of readings; created when missing (FILE.DB when
                     FILE has no extension); not a folder, device or FIFO
  --interval S       store at most one reading every S seconds (default 0: no
                     waiting)
  --repeat skip|keep skip a reading whose value, AC/DC, unit and range equal the
                     last stored one (default skip), or keep every one
  --limit N          store at most N readings, then end (default: no limit)
  --count N          end after N readings from the meter, stored or not
  --duration T       end after T: seconds, or a number with s, m or h (90, 15m, 8h),
                     at most a century (876000h)
  --save-every S     write stored readings to the table every S seconds
                     (default 10)
  --format F         text (default: the table's fields, tab-separated) or jsonl
                     (the reading's JSON object a line, as published; "reading"
                     is the value in the display's unit, "base_value" in the
                     quantity's base unit)
  --capture FILE     write every byte received and sent to a capture file
%1  -h, --help         show this text

Readings not yet written to the table are also kept in a journal beside it
(".<table file>.pending"); a run that finds one left by a run that was killed
adds its readings to the table and says so. SIGINT and SIGTERM save and end the
run. A lost port is waited for and opened again when it comes back.

With --mqtt, readings the broker has not acknowledged are queued in
".<table file>.mqtt-queue" beside the table (the oldest in memory too) and sent
in order when it is reachable again. A run that ends first, or is killed, leaves
them all there, and the next run sends them before its own. Each carries the
run's id ("run") and its record number ("no"), so a subscriber can drop a repeat.
<topic>/<meter>/status holds "online" or "offline" (retained, "offline" also as
the will), <topic>/<meter>/meter whether the meter answers ("online" or
"offline", retained), <topic>/<meter>/health the link's counts (retained, at
the start and once a minute).

Exit codes: 0 done (ended by --limit, --count, --duration, SIGINT or SIGTERM),
1 bad arguments, 2 the port or the table cannot be opened (absent, busy,
damaged, read-only) or the broker's settings are wrong (bad URL or meter id, a
CA file that cannot be read or holds no certificate, a broker certificate that
fails verification, TLS to a port without it, user or password refused), 3 the table cannot be written (a full disk is
waited for until the run ends); readings not written stay in the journal for the
next run.
)")
        .arg(publishUsage());
}
