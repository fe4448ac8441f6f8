#include "../support/FuzzSeed.h"

#include "ReadingsTable.h"
#include "TableError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <random>
#include <sys/prctl.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

// Byte-level mutants of a valid table of readings, opened by the table layer one after another
// in a child process that the test kills when an open outlives its deadline. Every open must
// either read the whole table or refuse it with a message: no crash, no hang, no record lost or
// made up.
namespace {

enum class Mutation {
    RecordSize,
    HeaderSize,
    FileType,
    BlockSize,
    RecordCount,
    BlockCounts,
    FieldCount,
    FieldDescriptor,
    FieldName,
    BlockNextLink,
    BlockPreviousLink,
    BlockRecordsField,
    Truncation,
    AnyHeaderByte,
};

enum class Outcome : char {
    Whole = 'W',      // every record read
    Refused = 'R',    // refused with a message
    WrongCount = 'C', // opened, but records lost or made up
    Crashed = 'X',    // the child died
    Hung = 'H',       // the open outlived its deadline
    Unclear = 'U',    // refused without a message, or with an exception other than TableError
};

// Failures the table layer is known to have, by mutation and outcome; none today. Nothing
// outside this table is tolerated.
const std::map<Mutation, std::vector<Outcome>> kKnownFailures = {};

constexpr int kMutantsPerKind = 750;
constexpr int kRecords = 300;
// Opening a table of a few kilobytes takes a few milliseconds of processor time, under
// sanitizers too; an open that spins longer than this is a hang. Counting processor time rather
// than wall time keeps a busy machine from passing for a hang, and a hang costs little.
constexpr long kOpenCpuLimitUs = 100'000;
// The child's silence for this long is a hang that does not spin (a wait that never ends).
constexpr int kOpenWallDeadlineMs = 20'000;

const std::array<std::pair<Mutation, const char*>, 14> kMutations{{
    {Mutation::RecordSize, "record size"},
    {Mutation::HeaderSize, "header size"},
    {Mutation::FileType, "file type"},
    {Mutation::BlockSize, "block size"},
    {Mutation::RecordCount, "record count"},
    {Mutation::BlockCounts, "block counts and first and last block"},
    {Mutation::FieldCount, "field count"},
    {Mutation::FieldDescriptor, "field descriptor"},
    {Mutation::FieldName, "field name"},
    {Mutation::BlockNextLink, "block's next link"},
    {Mutation::BlockPreviousLink, "block's previous link"},
    {Mutation::BlockRecordsField, "block's records field"},
    {Mutation::Truncation, "truncation"},
    {Mutation::AnyHeaderByte, "any header byte"},
}};

int le16(const QByteArray& b, qsizetype at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

// A value to write over a number of the file: near the old one, a boundary, or anything.
std::uint32_t mutatedValue(std::mt19937_64& rng, std::uint32_t old, int bytes) {
    const std::uint32_t mask = bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1;
    static constexpr std::array<std::uint32_t, 6> kBoundaries{0, 1, 0x7F, 0x80, 0x7FFF, 0x8000};
    switch (rng() % 4) {
    case 0:
        return (old + static_cast<std::uint32_t>(rng() % 9) - 4) & mask;
    case 1:
        return kBoundaries[rng() % kBoundaries.size()] & mask;
    case 2:
        return mask - static_cast<std::uint32_t>(rng() % 2);
    default:
        return static_cast<std::uint32_t>(rng()) & mask;
    }
}

void overwrite(QByteArray& image, qsizetype at, int bytes, std::mt19937_64& rng) {
    std::uint32_t old = 0;
    for (int i = 0; i < bytes; ++i)
        old |= std::uint32_t{static_cast<unsigned char>(image[at + i])} << (8 * i);
    std::uint32_t value = mutatedValue(rng, old, bytes);
    if (value == old)
        value ^= 1;
    for (int i = 0; i < bytes; ++i)
        image[at + i] = static_cast<char>(value >> (8 * i));
}

// The valid table and where its parts lie.
struct Table {
    QByteArray image;
    int headerSize = 0;
    int blockSize = 0;
    int blocks = 0;
    int fieldCount = 0;
    int namesStart = 0;
    int namesEnd = 0;
};

// Mutant number index of the given kind; the same seed gives the same mutant.
QByteArray mutant(const Table& t, Mutation kind, int index) {
    std::mt19937_64 rng(fuzzSeed() ^ (std::uint64_t{static_cast<unsigned>(kind)} << 32) ^
                        static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ull);
    QByteArray m = t.image;
    const auto block = [&] {
        return t.headerSize + static_cast<int>(rng() % t.blocks) * t.blockSize;
    };
    switch (kind) {
    case Mutation::RecordSize:
        overwrite(m, 0x00, 2, rng);
        break;
    case Mutation::HeaderSize:
        overwrite(m, 0x02, 2, rng);
        break;
    case Mutation::FileType:
        overwrite(m, 0x04, 1, rng);
        break;
    case Mutation::BlockSize:
        overwrite(m, 0x05, 1, rng);
        break;
    case Mutation::RecordCount:
        overwrite(m, 0x06, 4, rng);
        break;
    case Mutation::BlockCounts:
        overwrite(m, 0x0A + 2 * static_cast<int>(rng() % 4), 2, rng);
        break;
    case Mutation::FieldCount:
        overwrite(m, 0x21, 2, rng);
        break;
    case Mutation::FieldDescriptor:
        overwrite(m, 0x78 + static_cast<int>(rng() % (2 * t.fieldCount)), 1, rng);
        break;
    case Mutation::FieldName:
        overwrite(m, t.namesStart + static_cast<int>(rng() % (t.namesEnd - t.namesStart)), 1, rng);
        break;
    case Mutation::BlockNextLink:
        overwrite(m, block(), 2, rng);
        break;
    case Mutation::BlockPreviousLink:
        overwrite(m, block() + 2, 2, rng);
        break;
    case Mutation::BlockRecordsField:
        overwrite(m, block() + 4, 2, rng);
        break;
    case Mutation::Truncation:
        m.truncate(static_cast<qsizetype>(rng() % static_cast<std::uint64_t>(m.size())));
        break;
    case Mutation::AnyHeaderByte:
        overwrite(m, static_cast<qsizetype>(rng() % static_cast<std::uint64_t>(t.headerSize)), 1,
                  rng);
        break;
    }
    return m;
}

// Opens the file as the window does and reads every field of every record.
Outcome openWhole(const QString& path) {
    try {
        ReadingsTable table;
        table.setTableName(path);
        table.open();
        for (qsizetype row = 0; row < table.recordCount(); ++row) {
            for (int field = 0; field < table.fieldCount(); ++field)
                (void)table.text(row, field);
        }
        if (table.recordCount() == kRecords)
            return Outcome::Whole;
        // A table that does not read back whole may still be shown, but only for viewing and with
        // the reason: that is a refusal to take it as the table of readings, not a silent loss.
        return table.readOnlyReason().isEmpty() ? Outcome::WrongCount : Outcome::Refused;
    } catch (const TableError& error) {
        return error.message().isEmpty() ? Outcome::Unclear : Outcome::Refused;
    } catch (...) {
        return Outcome::Unclear;
    }
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

void setCpuLimit(long microseconds) {
    itimerval limit{};
    limit.it_value.tv_sec = microseconds / 1'000'000;
    limit.it_value.tv_usec = microseconds % 1'000'000;
    setitimer(ITIMER_PROF, &limit, nullptr);
}

// Opens mutants first.. in a child, which writes one outcome byte per mutant to the pipe. An
// open that spins past its processor-time limit ends the child with SIGPROF.
[[noreturn]] void openMutants(const Table& t, Mutation kind, int first, const QString& path,
                              int out) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int errors =
        open(QFile::encodeName(path + ".err").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errors < 0 || dup2(errors, STDERR_FILENO) < 0)
        _exit(4);
    signal(SIGPROF, SIG_DFL);
    for (int i = first; i < kMutantsPerKind; ++i) {
        if (!writeFile(path, mutant(t, kind, i)))
            _exit(3);
        setCpuLimit(kOpenCpuLimitUs);
        const auto outcome = static_cast<char>(openWhole(path));
        setCpuLimit(0);
        if (write(out, &outcome, 1) != 1)
            _exit(2);
    }
    _exit(0);
}

// What the child wrote to its standard error, enough of it to show a report.
QByteArray childErrors(const QString& path) {
    QFile file(path + ".err");
    return file.open(QIODevice::ReadOnly) ? file.read(16'384) : QByteArray();
}

// Runs every mutant of a kind, restarting the child after a crash or a hang, and gives each
// mutant's outcome in order.
std::vector<Outcome> runMutants(const Table& t, Mutation kind, const QString& path) {
    std::vector<Outcome> outcomes;
    while (static_cast<int>(outcomes.size()) < kMutantsPerKind) {
        int fds[2];
        if (pipe(fds) != 0)
            return outcomes;
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            openMutants(t, kind, static_cast<int>(outcomes.size()), path, fds[1]);
        }
        close(fds[1]);
        int ready = 0;
        for (;;) {
            pollfd wait{fds[0], POLLIN, 0};
            ready = poll(&wait, 1, kOpenWallDeadlineMs);
            if (ready < 0 && errno == EINTR)
                continue;
            char byte = 0;
            if (ready <= 0 || read(fds[0], &byte, 1) != 1)
                break;
            outcomes.push_back(static_cast<Outcome>(byte));
        }
        close(fds[0]);
        if (ready == 0)
            kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (static_cast<int>(outcomes.size()) == kMutantsPerKind)
            break;
        // A sanitizer's report, written while the child dies, may itself outlast the limit.
        const QByteArray report = childErrors(path);
        const bool reported = report.contains("runtime error") || report.contains("Sanitizer");
        const bool spun = WIFSIGNALED(status) && WTERMSIG(status) == SIGPROF;
        outcomes.push_back((ready == 0 || spun) && !reported ? Outcome::Hung : Outcome::Crashed);
        std::fwrite(report.constData(), 1, static_cast<std::size_t>(report.size()), stderr);
    }
    return outcomes;
}

Table validTable(const QString& path) {
    ReadingsTable table;
    table.setTableName(path);
    table.openOrCreate();
    for (int i = 0; i < kRecords; ++i) {
        table.append(ReadingRecord{i + 1, i * 1000, QStringLiteral("DC"),
                                   QString::number(i * 0.125, 'f', 3), QStringLiteral("mV"),
                                   QStringLiteral("AUTO"), i * 0.125});
    }
    table.applyUpdates();
    table.close();
    QFile file(path);
    Table t;
    if (!file.open(QIODevice::ReadOnly))
        return t;
    t.image = file.readAll();
    t.headerSize = le16(t.image, 0x02);
    t.blockSize = static_cast<unsigned char>(t.image[0x05]) * 1024;
    t.blocks = t.blockSize ? static_cast<int>((t.image.size() - t.headerSize) / t.blockSize) : 0;
    t.fieldCount = le16(t.image, 0x21);
    // The field names end the header; they start after the table name's fixed room.
    const int tableNameRoom = static_cast<unsigned char>(t.image[0x39]) == 0x0C ? 261 : 79;
    t.namesStart = 0x78 + 2 * t.fieldCount + 4 + 4 * t.fieldCount + tableNameRoom;
    t.namesEnd = t.namesStart;
    for (int names = 0; names < t.fieldCount && t.namesEnd < t.headerSize; ++t.namesEnd)
        names += t.image[t.namesEnd] == '\0';
    return t;
}

QByteArray outcomeName(Outcome o) {
    switch (o) {
    case Outcome::Whole:
        return "read whole";
    case Outcome::Refused:
        return "refused";
    case Outcome::WrongCount:
        return "records lost or made up";
    case Outcome::Crashed:
        return "crashed";
    case Outcome::Hung:
        return "hung";
    case Outcome::Unclear:
        return "refused without a message";
    }
    return "?";
}

} // namespace

class TestTableMutants : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Table m_table;

private slots:
    void initTestCase() {
        qInfo("fuzz seed %llu: set VELMAR_FUZZ_SEED to replay",
              static_cast<unsigned long long>(fuzzSeed()));
        QVERIFY(m_dir.isValid());
        m_table = validTable(m_dir.filePath(QStringLiteral("valid.DB")));
        QVERIFY2(m_table.blocks >= 3, "the valid table should span several blocks");
        QVERIFY(m_table.namesEnd > m_table.namesStart);
        QCOMPARE(openWhole(m_dir.filePath(QStringLiteral("valid.DB"))), Outcome::Whole);
    }

    void mutantsAreReadWholeOrRefused_data() {
        QTest::addColumn<int>("kind");
        for (const auto& [kind, name] : kMutations)
            QTest::newRow(name) << static_cast<int>(kind);
    }

    void mutantsAreReadWholeOrRefused() {
        QFETCH(int, kind);
        const auto mutation = static_cast<Mutation>(kind);
        QElapsedTimer clock;
        clock.start();
        const std::vector<Outcome> outcomes =
            runMutants(m_table, mutation, m_dir.filePath(QStringLiteral("mutant.DB")));
        const qint64 elapsedMs = clock.elapsed();
        QCOMPARE(static_cast<int>(outcomes.size()), kMutantsPerKind);

        const auto known = kKnownFailures.find(mutation);
        std::map<Outcome, std::vector<int>> failures;
        std::map<Outcome, int> tally;
        for (int i = 0; i < kMutantsPerKind; ++i) {
            ++tally[outcomes[i]];
            if (outcomes[i] != Outcome::Whole && outcomes[i] != Outcome::Refused)
                failures[outcomes[i]].push_back(i);
        }
        QByteArray summary;
        for (const auto& [outcome, count] : tally)
            summary += " " + outcomeName(outcome) + ": " + QByteArray::number(count) + ";";
        qInfo("%d mutants in %lld ms:%s", kMutantsPerKind, static_cast<long long>(elapsedMs),
              summary.constData());

        QByteArray unexpected;
        QByteArray expected;
        for (const auto& [outcome, mutants] : failures) {
            const bool isKnown = known != kKnownFailures.end() &&
                                 std::ranges::find(known->second, outcome) != known->second.end();
            QByteArray& list = isKnown ? expected : unexpected;
            list += " " + outcomeName(outcome) + " (" + QByteArray::number(mutants.size()) +
                    ", first mutant " + QByteArray::number(mutants.front()) + ");";
        }
        QVERIFY2(unexpected.isEmpty(), (unexpected + replayNote()).constData());
        if (expected.isEmpty())
            return;
        QEXPECT_FAIL("", (expected + replayNote()).constData(), Continue);
        QVERIFY(expected.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTableMutants)
#include "tst_tablemutants.moc"
