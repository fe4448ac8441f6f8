#include "../support/FuzzSeed.h"

#include "BarFrameDecoder.h"
#include "FrameCutter.h"
#include "Fs9721Cutter.h"
#include "Fs9721Decoder.h"
#include "MainFrameDecoder.h"

#include <QRegularExpression>
#include <QTest>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

// Random byte streams through the frame cutter and both decoders, as the window's receiver
// passes them on: nothing crashes, no line outgrows the cutter's bound, every decoded field
// stays in its range, and the frames and what they decode to do not depend on how the stream
// was cut into receive events.
namespace {

constexpr std::size_t kStreamBytes = 10'000'000;
constexpr qsizetype kMaxLineChars = 2 * FrameCutter::kMaxLineBytes;

using Bytes = std::vector<std::uint8_t>;

void appendRandom(Bytes& out, std::mt19937_64& rng, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(rng()));
}

// Mostly frame-like pieces, so that both decoders see many frames with random contents, mixed
// with plain noise and long runs without a line feed that reach the cutter's bound.
Bytes randomStream(std::mt19937_64& rng) {
    Bytes out;
    out.reserve(kStreamBytes + 16'384);
    while (out.size() < kStreamBytes) {
        const auto kind = rng() % 1000;
        if (kind < 400) {
            out.push_back(0x89);
            appendRandom(out, rng, rng() % 2 ? 9 : rng() % 16);
            out.push_back(0x0A);
        } else if (kind < 700) {
            out.push_back(0x8A);
            appendRandom(out, rng, rng() % 2 ? 5 : rng() % 10);
            out.push_back(0x0A);
        } else if (kind < 997) {
            appendRandom(out, rng, 1 + rng() % 64);
        } else {
            const std::size_t run = 1 + rng() % 10'000;
            for (std::size_t i = 0; i < run; ++i) {
                const auto byte = static_cast<std::uint8_t>(rng());
                out.push_back(byte == 0x0A ? 0x0B : byte);
            }
        }
    }
    return out;
}

class Digest {
public:
    void add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            m_value = (m_value ^ bytes[i]) * 1099511628211ull;
    }
    // Texts end with a character no text holds, so that "A","B" and "AB","" differ.
    void add(const QString& text) {
        add(text.constData(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
        const char16_t end = u'\n';
        add(&end, sizeof end);
    }
    void add(int value) { add(&value, sizeof value); }
    [[nodiscard]] std::uint64_t value() const { return m_value; }

private:
    std::uint64_t m_value = 14695981039346656037ull;
};

bool oneOf(const QString& text, std::initializer_list<const char16_t*> allowed) {
    for (const char16_t* a : allowed) {
        if (text == QStringView(a))
            return true;
    }
    return false;
}

// Why a decoded main-display frame is out of range; empty when it is not.
QString mainFault(const MainDisplay& d) {
    static const QRegularExpression readingText(
        QStringLiteral(R"(^-?(\d\.?\d\.?\d\.?\d\.?\d|\.?0\.?L\.?)$)"));
    static const QRegularExpression unitText(
        QStringLiteral(R"(^((&  )?k?M?m?u?n?A?V?\*?(Hz)?F?|%|nS|\)V)$)"));
    const bool overload = d.readingText.contains(u'L');
    if (!readingText.match(d.readingText).hasMatch())
        return "ReadingText '" + d.readingText + "'";
    if (!unitText.match(d.unitText).hasMatch())
        return "UnitText '" + d.unitText + "'";
    if (!oneOf(d.acDcText, {u"", u"AC", u"DC"}) || !oneOf(d.rangeText, {u"AUTO", u"MANU"}))
        return "AcDcText '" + d.acDcText + "' or RangeText '" + d.rangeText + "'";
    if (d.rangeCode < 0 || d.rangeCode > 7)
        return QStringLiteral("RangeCode %1").arg(d.rangeCode);
    const bool wide = d.dialScale == 100 && d.dialOffset == 100 && d.wideScale;
    if (!wide && !(d.dialScale == 80 && d.dialOffset == 0 && !d.wideScale))
        return QStringLiteral("dial scale %1 offset %2").arg(d.dialScale).arg(d.dialOffset);
    const int axis = d.axisMaximum;
    if (d.axisMinimum != -axis ||
        (axis != 8000 && axis != 80000 && axis != 10000 && axis != 100000))
        return QStringLiteral("axis %1..%2").arg(d.axisMinimum).arg(d.axisMaximum);
    const float value = d.readingValue;
    if (value != std::trunc(value))
        return QStringLiteral("ReadingValue %1 is not a count").arg(value);
    if (!overload) {
        for (const QString& digit : d.digits) {
            if (digit.size() != 1 || !digit.front().isDigit())
                return "digit '" + digit + "'";
        }
        if (std::abs(value) > 99999 || d.chartValue != static_cast<int>(value))
            return QStringLiteral("ReadingValue %1, ChartValue %2").arg(value).arg(d.chartValue);
        // Half of a signed three-digit count, rounded, from the middle of the scale.
        if (d.dialPosition < 400 - 500 || d.dialPosition > 800 + 500)
            return QStringLiteral("DialPosition %1").arg(d.dialPosition);
        return {};
    }
    if (d.digits != std::array<QString, 5>{"(", "", "0", "@", ""})
        return QStringLiteral("overload digits");
    if (d.dialPosition != (value < 0 ? 0 : 10 * d.dialScale))
        return QStringLiteral("overload DialPosition %1").arg(d.dialPosition);
    const int scale = std::abs(d.chartValue);
    if ((scale != d.dialScale * 100 && scale != d.dialScale * 1000) ||
        std::abs(value) != static_cast<float>(scale + 1))
        return QStringLiteral("overload ReadingValue %1, ChartValue %2")
            .arg(value)
            .arg(d.chartValue);
    return {};
}

// Why a frame as the cutter hands it over is malformed; empty when it is not.
QString lineFault(const QString& frame) {
    if (frame.size() > kMaxLineChars)
        return QStringLiteral("line of %1 hex characters").arg(frame.size());
    if (frame.isEmpty() || frame.size() % 2 != 0)
        return QStringLiteral("line of %1 hex characters").arg(frame.size());
    for (qsizetype i = 0; i + 2 < frame.size(); i += 2) {
        if (QStringView(frame).sliced(i, 2) == u"0A")
            return QStringLiteral("line feed inside the line at byte %1").arg(i / 2);
    }
    if (!frame.endsWith(u"0A") && frame.size() != kMaxLineChars)
        return QStringLiteral("short line without its line feed");
    return {};
}

// What the receiver made of one cutting of the stream.
struct Outcome {
    std::uint64_t digest = 0;
    qsizetype frames = 0;
    qsizetype mainFrames = 0;
    qsizetype barFrames = 0;
    qsizetype longestLine = 0;
    QString pending;
    QString fault;
};

class Receiver {
public:
    explicit Receiver(int relPressState) : m_rel(relPressState) {}

    void onFrame(const QString& frame) {
        ++m_outcome.frames;
        m_outcome.longestLine = std::max(m_outcome.longestLine, frame.size());
        m_digest.add(frame);
        if (const QString fault = lineFault(frame); !fault.isEmpty())
            return noteFault(fault, frame);
        if (frame.startsWith(u"89")) {
            ++m_outcome.mainFrames;
            const MainDisplay d = MainFrameDecoder::decode(frame, m_rel);
            addMain(d);
            if (const QString fault = mainFault(d); !fault.isEmpty())
                noteFault(fault, frame);
        } else if (frame.startsWith(u"8A")) {
            ++m_outcome.barFrames;
            const BarGraph bar = BarFrameDecoder::decodeFrame(frame);
            m_digest.add(bar.sign.unicode());
            m_digest.add(bar.position);
            if ((bar.sign != u'+' && bar.sign != u'-') || bar.position < 1 || bar.position > 64)
                noteFault(
                    QStringLiteral("bar sign '%1' position %2").arg(bar.sign).arg(bar.position),
                    frame);
        }
    }

    [[nodiscard]] Outcome finish(const FrameCutter& cutter) {
        m_outcome.pending = cutter.pending();
        m_outcome.digest = m_digest.value();
        return m_outcome;
    }

private:
    void addMain(const MainDisplay& d) {
        for (const QString* text : {&d.readingText, &d.unitText, &d.acDcText, &d.rangeText})
            m_digest.add(*text);
        for (const QString& digit : d.digits)
            m_digest.add(digit);
        for (const int v :
             {d.rangeCode, int(d.leadingDigitShown), int(d.lit.bits()), int(d.barShown),
              d.axisMinimum, d.axisMaximum, d.dialScale, d.dialOffset, int(d.wideScale),
              d.dialPosition, d.chartValue, std::bit_cast<int>(d.readingValue)})
            m_digest.add(v);
    }

    void noteFault(const QString& fault, const QString& frame) {
        if (m_outcome.fault.isEmpty())
            m_outcome.fault = fault + " from frame " + frame.left(64);
    }

    int m_rel;
    Digest m_digest;
    Outcome m_outcome;
};

// Feeds the stream in receive events of the sizes nextSize() gives.
template <typename NextSize> Outcome receive(const Bytes& stream, int rel, NextSize nextSize) {
    Receiver receiver(rel);
    FrameCutter cutter([&](const QString& frame) { receiver.onFrame(frame); });
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t size = std::min(nextSize(), stream.size() - at);
        cutter.feed(stream.data() + at, size);
        at += size;
    }
    return receiver.finish(cutter);
}

// A stream of FS9721 frames with random segments, some damaged as a line damages them: a byte
// lost, a byte taken twice, a frame cut short, and noise that carries no position between them.
// The frames that went out whole are the ones the cutter must hand over, and only they.
struct Fs9721Stream {
    Bytes bytes;
    QStringList whole;         // as the cutter hands them over
    std::uint64_t damaged = 0; // frames begun and not finished
};

Fs9721Stream fs9721Stream(std::mt19937_64& rng, std::size_t frames) {
    Fs9721Stream out;
    for (std::size_t n = 0; n < frames; ++n) {
        Fs9721Decoder::Frame f{};
        for (std::size_t i = 0; i < f.size(); ++i)
            f[i] = static_cast<std::uint8_t>((i + 1) << 4 | (rng() & 0x0F));
        Bytes bytes(f.begin(), f.end());
        const auto kind = rng() % 10;
        const auto at = static_cast<std::ptrdiff_t>(1 + rng() % 12); // positions 2 to 13
        if (kind == 0) {
            bytes.erase(bytes.begin() + at); // lost
        } else if (kind == 1) {
            bytes.insert(bytes.begin() + at, bytes[static_cast<std::size_t>(at)]); // twice
        } else if (kind == 2) {
            bytes.resize(static_cast<std::size_t>(at)); // cut short
        }
        out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
        if (kind <= 2)
            ++out.damaged;
        else
            out.whole.append(
                QByteArray(reinterpret_cast<const char*>(f.data()), 14).toHex().toUpper());
        for (auto noise = rng() % 8 == 0 ? rng() % 6 : 0; noise > 0; --noise)
            out.bytes.push_back(static_cast<std::uint8_t>(rng() % 2 ? rng() & 0x0F : 0xF0 | rng()));
    }
    return out;
}

// Why a decoded FS9721 frame is out of range; empty when it is not.
QString fs9721Fault(const MainDisplay& d) {
    if (d.readingText.size() > 8 || std::abs(d.readingValue) > 9999 || d.dialPosition < 0 ||
        d.dialPosition > 800)
        return QStringLiteral("'%1': %2 at %3")
            .arg(d.readingText)
            .arg(d.readingValue)
            .arg(d.dialPosition);
    return {};
}

} // namespace

class TestStreamFuzz : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qInfo("fuzz seed %llu: set VELMAR_FUZZ_SEED to replay",
              static_cast<unsigned long long>(fuzzSeed()));
    }

    void randomStreamsDecodeInRangeHoweverTheyAreCut_data() {
        QTest::addColumn<int>("rel");
        QTest::newRow("REL off") << 0;
        QTest::newRow("REL percent") << 2;
    }

    void randomStreamsDecodeInRangeHoweverTheyAreCut() {
        QFETCH(int, rel);
        std::mt19937_64 rng(fuzzSeed() + static_cast<std::uint64_t>(rel));
        const Bytes stream = randomStream(rng);

        const Outcome whole = receive(stream, rel, [&] { return stream.size(); });
        QVERIFY2(whole.fault.isEmpty(), qPrintable(whole.fault + replayNote()));
        // The stream is only a test of the decoders if they and the bound were reached.
        qInfo("%zu bytes: %lld frames, %lld main-display, %lld bar-graph", stream.size(),
              static_cast<long long>(whole.frames), static_cast<long long>(whole.mainFrames),
              static_cast<long long>(whole.barFrames));
        QVERIFY(whole.mainFrames > 50'000 && whole.barFrames > 40'000);
        QCOMPARE(whole.longestLine, kMaxLineChars);

        // Receive events as the serial poll gives them (up to about 50 ms of the line, or
        // nothing), and of any size from one byte to a buffer's worth.
        const auto pollSized = [&] { return static_cast<std::size_t>(rng() % 61); };
        const auto anySize = [&] {
            return static_cast<std::size_t>(rng() % 2 ? 1 + rng() % 16 : 1 + rng() % 8192);
        };
        for (const Outcome& cut :
             {receive(stream, rel, pollSized), receive(stream, rel, anySize)}) {
            QVERIFY2(cut.fault.isEmpty(), qPrintable(cut.fault + replayNote()));
            const QByteArray counts = QByteArray::number(cut.frames) + " frames against " +
                                      QByteArray::number(whole.frames) + " in one event";
            QVERIFY2(cut.frames == whole.frames && cut.digest == whole.digest &&
                         cut.pending == whole.pending,
                     counts + replayNote());
        }
    }

    void fs9721FramesArriveWholeOrAreDroppedHoweverTheyAreCut() {
        std::mt19937_64 rng(fuzzSeed());
        const Fs9721Stream stream = fs9721Stream(rng, 200'000);
        const auto anySize = [&] {
            return static_cast<std::size_t>(rng() % 2 ? 1 + rng() % 16 : 1 + rng() % 8192);
        };
        for (const bool oneEvent : {true, false}) {
            QStringList got;
            QString fault;
            Fs9721Cutter cutter([&](const QString& hex) {
                got.append(hex);
                const QString why =
                    fs9721Fault(Fs9721Decoder::decode(Fs9721Decoder::frameOf(hex).value()));
                if (fault.isEmpty() && !why.isEmpty())
                    fault = why + " from " + hex;
            });
            for (std::size_t at = 0; at < stream.bytes.size();) {
                const std::size_t size =
                    std::min(oneEvent ? stream.bytes.size() : anySize(), stream.bytes.size() - at);
                cutter.feed(stream.bytes.data() + at, size, 0);
                at += size;
            }
            QVERIFY2(fault.isEmpty(), qPrintable(fault + replayNote()));
            QVERIFY2(got == stream.whole, replayNote());
            // A damaged frame at the very end is still waiting for its next byte.
            QCOMPARE(cutter.droppedFrames() + (cutter.pendingBytes() > 0 ? 1 : 0), stream.damaged);
        }
    }
};

QTEST_GUILESS_MAIN(TestStreamFuzz)
#include "tst_streamfuzz.moc"
