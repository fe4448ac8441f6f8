// The window's static layout: every control at its designed place, size, caption and colour.
#include "BevelPanel.h"
#include "CellTextDelegate.h"
#include "ChartComponent.h"
#include "ChartPanel.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "LimitsPanel.h"
#include "PanelStyle.h"
#include "ReadingsTableModel.h"
#include "RowIndicatorHeader.h"
#include "SegraDelegate.h"
#include "SegraGlyphs.h"
#include "StatusPlace.h"
#include "TFCOMM.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

using namespace PanelStyle;

namespace {

const QColor kTopRowColour(35, 35, 35);

BevelPanel* topRowPanel(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height, const QFont& font) {
    auto* p = place(new BevelPanel(caption, parent), name, left, top, width, height);
    p->setColors(kTopRowColour, Qt::yellow);
    p->setFont(font);
    return p;
}

// A small glyph for a tool button, drawn so the program ships no image files.
QIcon glyphIcon(const std::function<void(QPainter&)>& draw) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pm);
}

// The port panels' captions in the display font: "COM /" reads COM1.
void paintComCaption(QPainter& p, const QRect& rect, const QString& caption) {
    SegraGlyphs::drawText(p, rect, Qt::AlignCenter, caption, {19, true, true}, Qt::yellow);
}

} // namespace

void TFCOMM::buildTopRow(QWidget* client) {
    // The panels keep the window's own bold lettering; at 11 pixels "RANGE" and "AC-DC-Cap" fit.
    const QFont keyFont = windowFont(11, true);
    BtCOM1 = topRowPanel(client, "BtCOM1", "COM /", 5, 3, 84, 26, keyFont);
    BtCOM2 = topRowPanel(client, "BtCOM2", "COM ,", 5, 3, 84, 26, keyFont);
    BtCOM3 = topRowPanel(client, "BtCOM3", "COM <", 5, 3, 84, 26, keyFont);
    BtCOM4 = topRowPanel(client, "BtCOM4", "COM >", 5, 3, 84, 26, keyFont);
    for (BevelPanel* com : {BtCOM1, BtCOM2, BtCOM3, BtCOM4})
        com->setCaptionPainter(&paintComCaption);
    BtCOM2->hide();
    BtCOM3->hide();
    BtCOM4->hide();
    connect(BtCOM1, &BevelPanel::clicked, this, &TFCOMM::COM21Click);
    connect(BtCOM2, &BevelPanel::clicked, this, &TFCOMM::COM31Click);
    connect(BtCOM3, &BevelPanel::clicked, this, &TFCOMM::COM41Click);
    connect(BtCOM4, &BevelPanel::clicked, this, &TFCOMM::COM11Click);

    BtPeak = topRowPanel(client, "BtPeak", "Peak-Buzzer", 94, 3, 76, 26, keyFont);
    BtRecord = topRowPanel(client, "BtRecord", "MAX-MIN", 171, 3, 57, 26, keyFont);
    BtRange = topRowPanel(client, "BtRange", "RANGE", 229, 3, 45, 26, keyFont);
    BtHold = topRowPanel(client, "BtHold", "Hold", 275, 3, 34, 26, keyFont);
    BtSel = topRowPanel(client, "BtSel", "AC-DC-Cap", 310, 3, 68, 26, keyFont);
    BtRel = topRowPanel(client, "BtRel", "REL", 379, 3, 29, 26, keyFont);
    BtHz = topRowPanel(client, "BtHz", "Hz-%", 409, 3, 35, 26, keyFont);
    BtBuzzer = topRowPanel(client, "BtBuzzer", "Buzzer", 269, 35, 45, 26, keyFont);
    BtBuzzer->hide();
    for (BevelPanel* key : {BtPeak, BtRecord, BtRange, BtHold, BtSel, BtRel, BtHz, BtBuzzer})
        bindKeyPanel(key);

    BTCon = topRowPanel(client, "BTCon", "Connect", 451, 2, 105, 26, keyFont);
    BtDiscon = topRowPanel(client, "BtDiscon", "Disconnect", 451, 2, 105, 26, keyFont);
    BtDiscon->hide();
    BtExit = topRowPanel(client, "BtExit", "Exit", 557, 2, 65, 26, keyFont);
    connect(BTCon, &BevelPanel::clicked, this, &TFCOMM::BTCon1Click);
    connect(BtDiscon, &BevelPanel::clicked, this, &TFCOMM::BtDiscon1Click);
    connect(BtExit, &BevelPanel::clicked, this, &TFCOMM::BtExit1Click);
}

void TFCOMM::bindKeyPanel(BevelPanel* panel) {
    connect(panel, &BevelPanel::mousePressed, this, [this, panel] { BtSetMouseDown(panel); });
    connect(panel, &BevelPanel::mouseReleased, this, [this, panel] { BtSetMouseUp(panel); });
}

void TFCOMM::buildLcdColumn(QWidget* client) {
    Panel1 = new LcdPanel(client);
    Panel1->move(3, 33);

    MltSN = place(new QLabel("+", client), "MltSN", 5, 171, 9, 19);
    MltSN->setFont(arialFont(16, true));
    MltSN->setAlignment(Qt::AlignCenter);
    PBar2 = place(new QProgressBar(client), "PBar2", 12, 176, 289, 12);
    PBar2->setRange(0, 41);
    PBar2->setValue(41);
    PBar2->setTextVisible(false);
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
    const QFont boxFont = arialFont(11, false);
    const QColor background = client->palette().color(QPalette::Window);
    RepeatSet = place(new QCheckBox("Repeat", client), "RepeatSet", 3, 242, 54, 20);
    RepeatSet->setToolTip("Repeage Record");
    RepeatSet->setChecked(true);
    // The blanks of this caption run under the interval edit, so that "'S" shows between the
    // edit's right edge and RecordNew.
    RecordSI = place(new QCheckBox("Sampling Interval             'S", client), "RecordSI", 64, 242,
                     149, 20);
    for (QCheckBox* box : {RepeatSet, RecordSI}) {
        box->setFont(boxFont);
        useClassicCheckBoxMetrics(box);
        // Only the face behind the caption: the box itself stays white. A button would fill
        // with its face colour.
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, background);
        box->setPalette(pal);
        box->setBackgroundRole(QPalette::Window);
        box->setAutoFillBackground(true);
    }
    RecordSITime = place(new QLineEdit("10", client), "RecordSITime", 167, 242, 32, 22);
    RecordSITime->setFont(boxFont);
    setBackground(RecordSITime, background);

    auto icon = [](QColor colour, int shape) {
        return glyphIcon([colour, shape](QPainter& p) {
            p.setPen(QPen(colour.darker(), 1));
            p.setBrush(colour);
            if (shape == 0) // close data: a sheet with a cross
                p.drawRect(QRectF(3.5, 1.5, 9, 13));
            else if (shape == 1) // open: a folder
                p.drawRect(QRectF(1.5, 4.5, 13, 9));
            else if (shape == 2) // save: a disk
                p.drawRect(QRectF(2.5, 2.5, 11, 11));
            else // print: a printer
                p.drawRect(QRectF(1.5, 6.5, 13, 6));
            p.setPen(QPen(Qt::black, 1.5));
            if (shape == 0) {
                p.drawLine(QPointF(5, 5), QPointF(11, 11));
                p.drawLine(QPointF(11, 5), QPointF(5, 11));
            }
        });
    };
    RecordNew = toolButton(client, "RecordNew", 213, 243, 23, 21, "Close Data");
    RecordNew->setIcon(icon(QColor(255, 255, 255), 0));
    OpenDataFiles = toolButton(client, "OpenDataFiles", 235, 243, 23, 21, "Open old data files");
    OpenDataFiles->setIcon(icon(QColor(240, 200, 80), 1));
    saveas = toolButton(client, "saveas", 257, 243, 23, 21, "Save data files");
    saveas->setIcon(icon(QColor(80, 120, 220), 2));
    SpeedButton2 = toolButton(client, "SpeedButton2", 279, 243, 22, 21, "Print");
    SpeedButton2->setIcon(icon(QColor(200, 200, 200), 3));
    connect(RecordNew, &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    connect(OpenDataFiles, &QToolButton::clicked, this, &TFCOMM::OpenDataFilesClick);
    connect(saveas, &QToolButton::clicked, this, &TFCOMM::saveasClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFCOMM::BtPrintClick);

    RecordSITime->installEventFilter(this);
    connect(RecordSITime, &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);
    // The session decides with what the boxes and the edit say.
    auto filters = [this] {
        m_session.setRecordFilters(RepeatSet->isChecked(), RecordSI->isChecked());
    };
    connect(RepeatSet, &QCheckBox::toggled, this, filters);
    connect(RecordSI, &QCheckBox::toggled, this, filters);
    filters();
    (void)m_session.setIntervalText(RecordSITime->text());

    buildGrid(client);
}

void TFCOMM::buildGrid(QWidget* client) {
    DBGrid1 = place(new QTableView(client), "DBGrid1", 3, 264, 299, 145);
    DBGrid1->setVerticalHeader(new RowIndicatorHeader(DBGrid1));
    DBGrid1->setModel(Data1);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Times like "08:29:21" fit the 53-pixel column through the cells' narrow margins.
    DBGrid1->setFont(arialFont(12, false));
    DBGrid1->setTextElideMode(Qt::ElideNone);
    QPalette pal = DBGrid1->palette();
    pal.setColor(QPalette::Base, QColor(202, 255, 228));
    DBGrid1->setPalette(pal);
    DBGrid1->horizontalHeader()->setFont(windowFont(11, false));
    DBGrid1->horizontalHeader()->setMinimumSectionSize(20);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(17);
    const int widths[ReadingsTableModel::kColumns] = {42, 53, 37, 52, 39, 36};
    for (int c = 0; c < ReadingsTableModel::kColumns; ++c)
        DBGrid1->setColumnWidth(c, widths[c]);
    DBGrid1->setItemDelegate(new CellTextDelegate(DBGrid1));
    // Units and the range are written in the display font, so "k*" reads as kilohm.
    for (int c : {ReadingsTableModel::kUnitColumn, ReadingsTableModel::kAutoColumn}) {
        auto* delegate = new SegraDelegate(DBGrid1);
        delegate->setPixelHeight(12);
        delegate->setAlignment(c == ReadingsTableModel::kUnitColumn
                                   ? Qt::AlignRight | Qt::AlignVCenter
                                   : Qt::AlignCenter);
        DBGrid1->setItemDelegateForColumn(c, delegate);
    }
    m_statusPlace = new StatusPlace(DBGrid1);
}

void TFCOMM::buildModelBoxes(QWidget* client) {
    IFVelmarC = new QCheckBox("VelmarC", client);
    IFVelmarD = new QCheckBox("VelmarD", client);
    IFTessik = new QCheckBox("Tessik", client);
    IFVelmarC->setObjectName("IFVelmarC");
    IFVelmarD->setObjectName("IFVelmarD");
    IFTessik->setObjectName("IFTessik");
    IFVelmarD->setChecked(true); // this build is the VelmarD one
    for (QCheckBox* box : {IFVelmarC, IFVelmarD, IFTessik})
        box->hide();
}

void TFCOMM::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto entry = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    ComSetup = bar->addMenu("ComSetup");
    ComSetup->setObjectName("ComSetup");
    COM11 = entry(ComSetup, "COM11", "COM1", &TFCOMM::COM11Click);
    COM21 = entry(ComSetup, "COM21", "COM2", &TFCOMM::COM21Click);
    COM31 = entry(ComSetup, "COM31", "COM3", &TFCOMM::COM31Click);
    COM41 = entry(ComSetup, "COM41", "COM4", &TFCOMM::COM41Click);
    for (QAction* a : {COM11, COM21, COM31, COM41})
        a->setCheckable(true);
    COM11->setChecked(true);

    QMenu* connectMenu = bar->addMenu("Connect");
    connectMenu->setObjectName("Connect1");
    START1 = entry(connectMenu, "START1", "START", &TFCOMM::BTCon1Click);
    STOP1 = entry(connectMenu, "STOP1", "STOP", &TFCOMM::BtDiscon1Click);
    START1->setCheckable(true);
    STOP1->setCheckable(true);
    STOP1->setEnabled(false);

    QMenu* graphic = bar->addMenu("Graphic");
    graphic->setObjectName("Graphic1");
    entry(graphic, "First1", "First", &TFCOMM::BtFirstClick);
    entry(graphic, "Previous1", "Previous", &TFCOMM::BTPreviousClick);
    entry(graphic, "Next1", "Next", &TFCOMM::BtNextClick);
    entry(graphic, "Last1", "Last", &TFCOMM::BTlastClick);
    graphic->addSeparator();
    entry(graphic, "New1", "New", &TFCOMM::BtNewClick);
    entry(graphic, "Save1", "Save", &TFCOMM::BtSaveClick);
    graphic->addSeparator();
    Fill1 = entry(graphic, "Fill1", "Fill", &TFCOMM::FillClick);
    Fill1->setCheckable(true);
    Fill1->setChecked(true);

    QMenu* record = bar->addMenu("Record");
    record->setObjectName("Record1");
    entry(record, "RecordNew1", "New", &TFCOMM::RecordNewClick);
    entry(record, "RecordSave1", "Save", &TFCOMM::RecordSaveClick);
    record->addSeparator();
    N10001 = entry(record, "N10001", "1000", &TFCOMM::N10001Click);
    N50001 = entry(record, "N50001", "5000", &TFCOMM::N50001Click);
    N100001 = entry(record, "N100001", "10000", &TFCOMM::N100001Click);
    N500001 = entry(record, "N500001", "50000", &TFCOMM::N500001Click);
    N1000001 = entry(record, "N1000001", "100000", &TFCOMM::N1000001Click);
    limitess = entry(record, "limitess", "limitess", &TFCOMM::limitessClick);
    for (QAction* a : {N10001, N50001, N100001, N500001, N1000001, limitess})
        a->setCheckable(true);
    N100001->setChecked(true);

    QAction* exit = bar->addAction("Exit");
    exit->setObjectName("Exit1");
    connect(exit, &QAction::triggered, this, &TFCOMM::BtExit1Click);
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
    ConTimer = timer("ConTimer", 100, &TFCOMM::ConTimerTimer);
    Trecord = timer("Trecord", 1000, &TFCOMM::TrecordTimer);
    TdownB = timer("TdownB", 1000, &TFCOMM::TdownBTimer);
    // All coarse, as is the serial component's poll: Qt moves coarse timers of 50, 100 and 1000 ms
    // onto the same boundaries within a few ticks (by at most 5 % of a step), so the request, the
    // link tick and every other receive poll share one wake-up instead of each taking its own.
    // Once aligned the request cycle keeps exact 100 ms steps.
    Timer1->setTimerType(Qt::CoarseTimer);
    Timer1->start();
    ConTimer->start();
    Trecord->start();
}
