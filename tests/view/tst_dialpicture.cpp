#include "DialFace.h"
#include "DialGeometry.h"
#include "DialPicture.h"
#include "LimitBand.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cstdlib>

namespace {

const QSize kPanel(318, 137);
const QSize kSurface(314, 133);

DialFace designFace(int dialScale = 80, bool wideScale = false,
                    LimitBand band = LimitBand(AlarmLimits{}, false)) {
    return DialFace{kPanel, kSurface, dialScale, wideScale, band};
}

// The red steps of a band as text, e.g. "0-99 701-800", empty when all are white.
QString redSteps(const LimitBand& band) {
    QStringList runs;
    int start = -1;
    for (int j = 0; j <= LimitBand::kSteps + 1; ++j) {
        const bool red = j <= LimitBand::kSteps && band.isRed(j);
        if (red && start < 0)
            start = j;
        if (!red && start >= 0) {
            runs << QStringLiteral("%1-%2").arg(start).arg(j - 1);
            start = -1;
        }
    }
    return runs.join(QLatin1Char(' '));
}

// The needle as the painter strokes it, antialiased, pen width 2 with round ends: the reference the
// picture's own drawing of it is held to.
void drawNeedle(QPainter& painter, QPoint tip, QPoint innerEnd, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(tip, innerEnd);
    painter.restore();
}

// Whether two pictures differ by a few levels of grey at most, at every pixel: the picture takes
// the edge of a round end as straight across a pixel.
bool nearlyEqual(const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (std::abs(qGray(rowA[x]) - qGray(rowB[x])) > 24)
                return false;
    }
    return true;
}

// The picture a frame gives when everything is drawn afresh: the face, the previous needle
// erased in black, the new needle in white.
QImage fullRedraw(const DialFace& face, QPoint oldTip, QPoint oldBase, int position,
                  int dialOffset) {
    QImage image(face.surface, QImage::Format_RGB32);
    QPainter painter(&image);
    face.draw(painter);
    drawNeedle(painter, oldTip, oldBase, Qt::black);
    const DialGeometry g(face.panel);
    const int fullScale = face.dialScale * 10;
    if (g.drawable())
        drawNeedle(painter, g.needleTip(position + dialOffset, fullScale),
                   g.needleInnerEnd(position + dialOffset, fullScale), Qt::white);
    return image;
}

QImage faceAlone(const DialFace& face) {
    QImage image(face.surface, QImage::Format_RGB32);
    QPainter painter(&image);
    face.draw(painter);
    return image;
}

bool allBlack(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

} // namespace

class TestDialPicture : public QObject {
    Q_OBJECT
private slots:
    void bandIsRedBeyondArmedLimits_data() {
        QTest::addColumn<bool>("maxArmed");
        QTest::addColumn<float>("maxLimit");
        QTest::addColumn<bool>("minArmed");
        QTest::addColumn<float>("minLimit");
        QTest::addColumn<bool>("fiveDigit");
        QTest::addColumn<QString>("red");
        QTest::newRow("both boxes clear") << false << 6000.0f << false << -6000.0f << false << "";
        QTest::newRow("MAX 6000") << true << 6000.0f << false << -8002.0f << false << "701-800";
        QTest::newRow("MIN -6000") << false << 8002.0f << true << -6000.0f << false << "0-99";
        QTest::newRow("both armed")
            << true << 6000.0f << true << -6000.0f << false << "0-99 701-800";
        QTest::newRow("start-up limits armed")
            << true << 8002.0f << true << -8002.0f << false << "";
        QTest::newRow("MAX 8000: a step must exceed 4000")
            << true << 8000.0f << false << 0.0f << false << "";
        QTest::newRow("MAX 5001: half rounds to even 2500")
            << true << 5001.0f << false << 0.0f << false << "651-800";
        QTest::newRow("MAX 0 and MIN 0 leave only the middle step")
            << true << 0.0f << true << 0.0f << false << "0-399 401-800";
        QTest::newRow("five-digit MAX 60000")
            << true << 60000.0f << false << 0.0f << true << "701-800";
        QTest::newRow("five-digit MIN -60000")
            << false << 0.0f << true << -60000.0f << true << "0-99";
        QTest::newRow("five-digit start-up limits 80000 armed")
            << true << 80000.0f << true << -80000.0f << true << "";
        QTest::newRow("five-digit, a four-digit limit 6000 is 6000 counts")
            << true << 6000.0f << false << 0.0f << true << "431-800";
    }
    void bandIsRedBeyondArmedLimits() {
        QFETCH(bool, maxArmed);
        QFETCH(float, maxLimit);
        QFETCH(bool, minArmed);
        QFETCH(float, minLimit);
        QFETCH(bool, fiveDigit);
        QFETCH(QString, red);
        const AlarmLimits limits{maxArmed, maxLimit, minArmed, minLimit};
        QCOMPARE(redSteps(LimitBand(limits, fiveDigit)), red);
    }

    void scalesHaveTheirDotsAndLabels_data() {
        QTest::addColumn<int>("dialScale");
        QTest::addColumn<bool>("wideScale");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("normal scale")
            << 80 << false << QStringList{"-80", "-60", "-40", "-20", "0", "20", "40", "60", "80"};
        QTest::newRow("wide scale")
            << 100 << true
            << QStringList{"-99", "-80", "-60", "-40", "-20", "0", "20", "40", "60", "80", "99"};
    }
    void scalesHaveTheirDotsAndLabels() {
        QFETCH(int, dialScale);
        QFETCH(bool, wideScale);
        QFETCH(QStringList, labels);
        const DialFace face = designFace(dialScale, wideScale);
        const auto divisions = face.divisions();
        QCOMPARE(qsizetype(divisions.size()), qsizetype(dialScale + 1));
        QStringList texts;
        for (std::size_t i = 0; i < divisions.size(); ++i) {
            QCOMPARE(divisions[i].label.has_value(), i % 10 == 0);
            if (divisions[i].label)
                texts << divisions[i].label->text;
        }
        QCOMPARE(texts, labels);
        QCOMPARE(face.bandDots().size(), std::size_t(801));
    }

    void labelsSitAtTheirAnchorsPlusOffsets_data() {
        QTest::addColumn<bool>("wideScale");
        QTest::addColumn<int>("division");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("normal -80") << false << 0 << QPoint(5 - 5, 97 - 7);
        QTest::newRow("normal 0") << false << 40 << QPoint(159 - 3, 12 - 3);
        QTest::newRow("wide -99") << true << 0 << QPoint(5 - 5, 97 - 7);
        QTest::newRow("wide 0") << true << 50 << QPoint(159 - 3, 12 - 3);
        QTest::newRow("wide 99") << true << 100 << QPoint(313 - 14, 97 - 11);
    }
    void labelsSitAtTheirAnchorsPlusOffsets() {
        QFETCH(bool, wideScale);
        QFETCH(int, division);
        QFETCH(QPoint, topLeft);
        const auto divisions = designFace(wideScale ? 100 : 80, wideScale).divisions();
        QCOMPARE(divisions[std::size_t(division)].label->topLeft, topLeft);
    }

    // Each label reads whole on the design-size face: none of its ink lies beyond the picture's
    // edge, all of it shows white, and a label that had to give way moved only that far.
    void labelsReadWholeAtTheDesignSize_data() {
        QTest::addColumn<bool>("wideScale");
        QTest::newRow("normal") << false;
        QTest::newRow("wide") << true;
    }
    void labelsReadWholeAtTheDesignSize() {
        QFETCH(bool, wideScale);
        const DialFace face = designFace(wideScale ? 100 : 80, wideScale);
        const QImage drawn = faceAlone(face);
        for (const DialFace::Division& division : face.divisions()) {
            if (!division.label)
                continue;
            const DialFace::Label& label = *division.label;
            // The label alone, on a canvas with room beyond the picture on every side.
            const QPoint margin(40, 40);
            QImage alone(kSurface + QSize(80, 80), QImage::Format_RGB32);
            alone.fill(Qt::black);
            QPainter painter(&alone);
            painter.setFont(DialFace::labelFont());
            painter.setPen(Qt::white);
            painter.drawText(QRect(label.topLeft + margin, QSize(40, 20)),
                             Qt::AlignLeft | Qt::AlignTop, label.text);
            painter.end();
            int ink = 0;
            for (int y = 0; y < alone.height(); ++y) {
                for (int x = 0; x < alone.width(); ++x) {
                    if (qGray(alone.pixel(x, y)) < 128)
                        continue;
                    ++ink;
                    const QPoint at = QPoint(x, y) - margin;
                    QVERIFY2(drawn.rect().contains(at),
                             qPrintable(QStringLiteral("\"%1\" cut at %2,%3")
                                            .arg(label.text)
                                            .arg(at.x())
                                            .arg(at.y())));
                    QVERIFY2(qGray(drawn.pixel(at)) >= 128, qPrintable(label.text));
                }
            }
            QVERIFY2(ink > 10, qPrintable(label.text));
        }
        // Only the right-hand end label gives way, by a few pixels, and keeps its height.
        const auto divisions = face.divisions();
        const DialFace::Label& last = *divisions.back().label;
        const QPoint designed = wideScale ? QPoint(313 - 14, 97 - 11) : QPoint(313 - 11, 97 - 7);
        QCOMPARE(last.topLeft.y(), designed.y());
        QVERIFY2(last.topLeft.x() <= designed.x() && last.topLeft.x() >= designed.x() - 4,
                 qPrintable(QString::number(last.topLeft.x())));
    }

    void drawnBandShowsItsColours() {
        const LimitBand band(AlarmLimits{true, 6000.0f, false, 0.0f}, false);
        const DialFace face = designFace(80, false, band);
        const QImage image = faceAlone(face);
        const auto dots = face.bandDots();
        QCOMPARE(image.pixel(dots[750].at + QPoint(1, 1)), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(dots[600].at + QPoint(1, 1)), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(designFace().divisions()[40].dot + QPoint(1, 0)), qRgb(255, 255, 255));
    }

    void lowPanelsShowABlackFaceOnly_data() {
        QTest::addColumn<QSize>("panel");
        QTest::newRow("H 0") << QSize(318, 60);
        QTest::newRow("tiny") << QSize(10, 10);
    }
    void lowPanelsShowABlackFaceOnly() {
        QFETCH(QSize, panel);
        DialPicture picture;
        picture.setup(DialFace{panel, kSurface, 80, false, LimitBand(AlarmLimits{}, false)});
        picture.run(400, 80, 0);
        QVERIFY(allBlack(picture.image()));
    }

    void setupTakesTheNeedleAway() {
        DialPicture picture;
        picture.setup(designFace());
        picture.run(800, 80, 0);
        QVERIFY(picture.image() != faceAlone(designFace()));
        picture.setup(designFace());
        QCOMPARE(picture.image(), faceAlone(designFace()));
        QCOMPARE(picture.faceDrawCount(), 1);
    }

    void surfaceFollowsItsSize() {
        DialPicture picture;
        picture.setup(designFace());
        picture.setup(
            DialFace{QSize(500, 200), QSize(496, 196), 80, false, LimitBand(AlarmLimits{}, false)});
        QCOMPARE(picture.image().size(), QSize(496, 196));
        QCOMPARE(picture.faceDrawCount(), 2);
    }

    // Frames as the decoder drives them, with the face's inputs changing now and then: the kept
    // face with only the needle drawn must give the pixels of drawing everything.
    void needleOnAKeptFaceEqualsAFullRedraw() {
        const LimitBand clear(AlarmLimits{}, false);
        const LimitBand maxArmed(AlarmLimits{true, 6000.0f, false, 0.0f}, false);
        struct Frame {
            DialFace face;
            int position;
            int dialOffset;
        };
        const std::vector<Frame> frames = {
            {designFace(), 800, 0},
            {designFace(), 462, 0},
            {designFace(), 470, 0},
            {designFace(), 470, 0},
            {designFace(), 0, 0},
            {designFace(80, false, maxArmed), 780, 0},
            {designFace(80, false, maxArmed), 790, 0},
            {designFace(100, true, maxArmed), 1000, 100},
            {designFace(100, true, maxArmed), 0, 100},
            {designFace(100, true, maxArmed), 520, 100},
            {designFace(), 400, 0},
            {designFace(), 401, 0},
        };
        DialPicture picture;
        int faceChanges = 0;
        const DialFace* previousFace = nullptr;
        for (const Frame& frame : frames) {
            const QPoint oldTip = picture.needleTip();
            const QPoint oldBase = picture.needleBase();
            picture.setup(frame.face);
            picture.run(frame.position, frame.face.dialScale, frame.dialOffset);
            if (previousFace == nullptr || !(*previousFace == frame.face))
                ++faceChanges;
            previousFace = &frame.face;
            QVERIFY(nearlyEqual(picture.image(), fullRedraw(frame.face, oldTip, oldBase,
                                                            frame.position, frame.dialOffset)));
        }
        QCOMPARE(picture.faceDrawCount(), faceChanges);
    }

    // The needle gives the stroke's own pixels at every place it can stand, on
    // pictures of several sizes, also where the needle runs off the picture's edge.
    void everyNeedlePlaceEqualsItsStroke_data() {
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<int>("dialScale");
        QTest::addColumn<int>("dialOffset");
        QTest::newRow("design size") << kPanel << 80 << 0;
        QTest::newRow("wide scale with offset") << kPanel << 100 << 100;
        QTest::newRow("large panel") << QSize(700, 320) << 80 << 0;
        QTest::newRow("narrow panel") << QSize(120, 137) << 80 << 0;
    }
    void everyNeedlePlaceEqualsItsStroke() {
        QFETCH(QSize, panel);
        QFETCH(int, dialScale);
        QFETCH(int, dialOffset);
        const DialFace face{panel, panel - QSize(4, 4), dialScale, dialScale == 100,
                            LimitBand(AlarmLimits{}, false)};
        const QImage bare = faceAlone(face);
        const DialGeometry g(face.panel);
        const int fullScale = dialScale * 10;
        DialPicture picture;
        // Forward, then back over kept places, then jumps across the scale.
        std::vector<int> places;
        for (int p = -dialOffset; p <= fullScale - dialOffset; ++p)
            places.push_back(p);
        for (int p = fullScale - dialOffset; p >= -dialOffset; p -= 3)
            places.push_back(p);
        for (int p = 0; p < 50; ++p)
            places.push_back((p * 337) % (fullScale + 1) - dialOffset);
        for (const int position : places) {
            const QPoint oldTip = picture.needleTip();
            const QPoint oldBase = picture.needleBase();
            picture.setup(face);
            picture.run(position, dialScale, dialOffset);
            QImage expected = bare.copy();
            {
                QPainter painter(&expected);
                drawNeedle(painter, oldTip, oldBase, Qt::black);
                drawNeedle(painter, g.needleTip(position + dialOffset, fullScale),
                           g.needleInnerEnd(position + dialOffset, fullScale), Qt::white);
            }
            QVERIFY2(nearlyEqual(picture.image(), expected), qPrintable(QString::number(position)));
        }
    }

    void onlyTheNeedlesAreaChangesWhileTheFaceStays() {
        DialPicture picture;
        picture.setup(designFace());
        picture.run(400, 80, 0);
        QCOMPARE(picture.takeChangedArea(), QRect(QPoint(0, 0), kSurface));
        picture.setup(designFace());
        picture.run(405, 80, 0);
        (void)picture.takeChangedArea();
        picture.setup(designFace());
        picture.run(410, 80, 0);
        const QRect changed = picture.takeChangedArea();
        QVERIFY(!changed.isEmpty());
        QVERIFY(changed.width() < 40);
        QVERIFY(changed.contains(picture.needleTip()));
        QVERIFY(picture.takeChangedArea().isEmpty());
    }
};

QTEST_MAIN(TestDialPicture)
#include "tst_dialpicture.moc"
