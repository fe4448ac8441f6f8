// The window's static layout: every control at its designed place, size, caption and colour.
#include "BarGraphView.h"
#include "BevelPanel.h"
#include "ChartComponent.h"
#include "ChartPanel.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "LimitsPanel.h"
#include "MainMenu.h"
#include "PanelStyle.h"
#include "ReadingsGrid.h"
#include "ReadingsTableModel.h"
#include "RecordingRow.h"
#include "StatusPlace.h"
#include "TFCOMM.h"
#include "TopRow.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <QTimer>

#include <array>

using namespace PanelStyle;

void TFCOMM::buildTopRow(QWidget* client) {
    m_topRow = new TopRow(client);
    const auto ports = std::array{&TFCOMM::COM11Click, &TFCOMM::COM21Click, &TFCOMM::COM31Click,
                                  &TFCOMM::COM41Click};
    connect(m_topRow, &TopRow::portClicked, this,
            [this, ports](int next) { (this->*ports.at(std::size_t(next - 1)))(); });
    connect(m_topRow, &TopRow::keyPressed, this, &TFCOMM::BtSetMouseDown);
    connect(m_topRow, &TopRow::keyReleased, this, &TFCOMM::BtSetMouseUp);
    connect(m_topRow, &TopRow::connectClicked, this, &TFCOMM::BTCon1Click);
    connect(m_topRow, &TopRow::disconnectClicked, this, &TFCOMM::BtDiscon1Click);
    connect(m_topRow, &TopRow::exitClicked, this, &TFCOMM::BtExit1Click);
}

void TFCOMM::buildLcdColumn(QWidget* client) {
    Panel1 = new LcdPanel(client);
    Panel1->move(3, 33);

    MltSN = place(new QLabel("+", client), "MltSN", 5, 171, 9, 19);
    MltSN->setFont(arialFont(16, true));
    MltSN->setAlignment(Qt::AlignCenter);
    PBar2 = place(new BarGraphView(client), "PBar2", 12, 176, 289, 12);
    PBar2->setRange(0, 41);
    PBar2->setValue(41);
}

void TFCOMM::buildDialPanel(QWidget* client) {
    dial = new DialPanel(client);
    CONok = dial->linkedPicture();
    CONokN = dial->unlinkedPicture();
    CONok->installEventFilter(this);
    CONokN->installEventFilter(this);
    connect(dial, &DialPanel::pictureResized, this, &TFCOMM::redrawDialForNewSize);
}

void TFCOMM::buildChart(QWidget* client) {
    chartComponent = new ChartComponent;
    chart = new ChartPanel(client, chartComponent);
    BtFill = chart->fillBox();
    Maxrecord = chart->pointsPerPageEdit();
    Maxrecord->installEventFilter(this);

    connect(chart, &ChartPanel::fillClicked, this, &TFCOMM::BtFillClick);
    connect(chart, &ChartPanel::pointsPerPageEdited, this, &TFCOMM::MaxrecordExit);
    connect(chart, &ChartPanel::newClicked, this, &TFCOMM::BtNewClick);
    connect(chart, &ChartPanel::saveClicked, this, &TFCOMM::BtSaveClick);
    connect(chart, &ChartPanel::firstClicked, this, &TFCOMM::BtFirstClick);
    connect(chart, &ChartPanel::previousClicked, this, &TFCOMM::BTPreviousClick);
    connect(chart, &ChartPanel::nextClicked, this, &TFCOMM::BtNextClick);
    connect(chart, &ChartPanel::lastClicked, this, &TFCOMM::BTlastClick);
    connect(chart, &ChartPanel::enlargeClicked, this, &TFCOMM::TbFdClick);
}

void TFCOMM::buildLimitsPanel(QWidget* client) {
    limits = new LimitsPanel(client);
    Setmax = limits->maxEdit();
    SetMin = limits->minEdit();
    Setmax->installEventFilter(this);
    SetMin->installEventFilter(this);
    connect(limits, &LimitsPanel::maxLimitChanged, this, &TFCOMM::SetmaxExit);
    connect(limits, &LimitsPanel::minLimitChanged, this, &TFCOMM::SetMinExit);
    connect(limits->maxBox(), &QCheckBox::toggled, this, &TFCOMM::applyLimits);
    connect(limits->minBox(), &QCheckBox::toggled, this, &TFCOMM::applyLimits);
}

void TFCOMM::buildRecordingRow(QWidget* client) {
    m_recordingRow = new RecordingRow(client);
    connect(m_recordingRow, &RecordingRow::closeDataClicked, this, &TFCOMM::RecordNewClick);
    connect(m_recordingRow, &RecordingRow::openClicked, this, &TFCOMM::OpenDataFilesClick);
    connect(m_recordingRow, &RecordingRow::saveAsClicked, this, &TFCOMM::saveasClick);
    connect(m_recordingRow, &RecordingRow::printClicked, this, &TFCOMM::BtPrintClick);
    m_recordingRow->intervalEdit()->installEventFilter(this);
    connect(m_recordingRow, &RecordingRow::intervalEdited, this, &TFCOMM::RecordSITimeChange);
    // The session decides with what the boxes and the edit say.
    connect(m_recordingRow, &RecordingRow::filtersChanged, &m_session,
            &MeterSession::setRecordFilters);
    m_session.setRecordFilters(m_recordingRow->repeat(), m_recordingRow->interval());
    (void)m_session.setIntervalText(m_recordingRow->intervalText());
    buildGrid(client);
}

void TFCOMM::buildGrid(QWidget* client) {
    static_assert(ReadingsGrid::kColumns == ReadingsTableModel::kColumns &&
                  ReadingsGrid::kUnitColumn == ReadingsTableModel::kUnitColumn &&
                  ReadingsGrid::kAutoColumn == ReadingsTableModel::kAutoColumn);
    DBGrid1 = new ReadingsGrid(client);
    DBGrid1->setModel(Data1);
    DBGrid1->showColumns(true, false);
    m_statusPlace = DBGrid1->statusPlace();
    m_linkNotices = LinkNotices(m_statusPlace);
    m_recordingNotices = RecordingNotices(m_statusPlace);
}

// Each entry of the main menu runs the handler the layout binds to it.
void TFCOMM::buildMenu() {
    m_menu = new MainMenu(this);
    using Handler = void (TFCOMM::*)();
    static const std::pair<const char*, Handler> handlers[] = {
        {"COM11", &TFCOMM::COM11Click},
        {"COM21", &TFCOMM::COM21Click},
        {"COM31", &TFCOMM::COM31Click},
        {"COM41", &TFCOMM::COM41Click},
        {"START1", &TFCOMM::BTCon1Click},
        {"STOP1", &TFCOMM::BtDiscon1Click},
        {"First1", &TFCOMM::BtFirstClick},
        {"Previous1", &TFCOMM::BTPreviousClick},
        {"Next1", &TFCOMM::BtNextClick},
        {"Last1", &TFCOMM::BTlastClick},
        {"New1", &TFCOMM::BtNewClick},
        {"Save1", &TFCOMM::BtSaveClick},
        {"Fill1", &TFCOMM::FillClick},
        {"RecordNew1", &TFCOMM::RecordNewClick},
        {"RecordSave1", &TFCOMM::RecordSaveClick},
        {"N10001", &TFCOMM::N10001Click},
        {"N50001", &TFCOMM::N50001Click},
        {"N100001", &TFCOMM::N100001Click},
        {"N500001", &TFCOMM::N500001Click},
        {"N1000001", &TFCOMM::N1000001Click},
        {"limitess", &TFCOMM::limitessClick},
        {"Exit1", &TFCOMM::BtExit1Click}};
    connect(m_menu, &MainMenu::chosen, this, [this](const QString& name) {
        for (const auto& [entry, handler] : handlers) {
            if (name == QLatin1String(entry))
                return (this->*handler)();
        }
    });
}

void TFCOMM::buildTimers() {
    auto timer = [this](const char* name, int interval, auto handler) {
        auto* t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, handler);
        return t;
    };
    Timer1 = timer("Timer1", 100, &TFCOMM::Timer1Timer);
    ConTimer = timer("ConTimer", m_session.model().linkTickMs, &TFCOMM::ConTimerTimer);
    Trecord = timer("Trecord", 1000, &TFCOMM::TrecordTimer);
    TdownB = timer("TdownB", 1000, &TFCOMM::TdownBTimer);
    // All coarse, as is the serial component's poll: Qt moves coarse timers of 50, 100 and 1000 ms
    // onto the same boundaries within a few ticks (by at most 5 % of a step), so the request, the
    // link tick and every other receive poll share one wake-up instead of each taking its own.
    // Once aligned the request cycle keeps exact 100 ms steps.
    Timer1->setTimerType(Qt::CoarseTimer);
    // A meter that talks by itself and has no keys has nothing for the request tick to do.
    if (m_session.model().needsRequestTick())
        Timer1->start();
    ConTimer->start();
    Trecord->start();
}
