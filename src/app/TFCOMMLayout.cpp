// The window's static layout: every control at its designed place, size, caption and colour.
#include "app/BevelPanel.h"
#include "app/LinkPicture.h"
#include "app/TFCOMM.h"
#include "decode/CellTextDelegate.h"
#include "decode/LcdPanel.h"
#include "decode/SegraDelegate.h"
#include "decode/SegraGlyphs.h"
#include "decode/SegraLabel.h"
#include "record/ReadingsTableModel.h"

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

namespace {

const QColor kTopRowColour(35, 35, 35);
const QColor kToolBarColour(0xFD, 0xE9, 0xE1);
const QColor kLimitsPanelColour(0xCA, 0xFF, 0xE4);

QFont pixelFont(const QStringList& families, int pixels, bool bold = false, bool italic = false) {
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QFont arialFont(int pixels, bool bold) {
    return pixelFont({"Arial", "Liberation Sans", "DejaVu Sans"}, pixels, bold);
}

template <typename W> W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

void setBackground(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::Base, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

BevelPanel* topRowPanel(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height, const QFont& font) {
    auto* p = place(new BevelPanel(caption, parent), name, left, top, width, height);
    p->setColors(kTopRowColour, Qt::yellow);
    p->setFont(font);
    return p;
}

QToolButton* toolButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const QString& hint, const QString& text = {}) {
    auto* b = place(new QToolButton(parent), name, left, top, width, height);
    b->setToolTip(hint);
    b->setText(text);
    b->setAutoRaise(true);
    return b;
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

QPixmap magnifier(bool plus) {
    QPixmap pm(25, 25);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 2.5));
    p.drawLine(QPointF(15, 15), QPointF(22, 22));
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(220, 240, 255));
    p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(QPointF(6, 10), QPointF(14, 10));
    if (plus)
        p.drawLine(QPointF(10, 6), QPointF(10, 14));
    return pm;
}

QPixmap dialBackdrop() {
    QPixmap pm(256, 256);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 256, 256);
    g.setColorAt(0, QColor(10, 20, 80));
    g.setColorAt(1, QColor(20, 40, 120));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(30, 50, 130));
    for (int i = 0; i < 256; i += 8)
        p.drawLine(0, i, 256, i);
    return pm;
}

// The port panels' captions in the display font: "COM /" reads COM1.
void paintComCaption(QPainter& p, const QRect& rect, const QString& caption) {
    SegraGlyphs::drawText(p, rect, Qt::AlignCenter, caption, {19, true, true}, Qt::yellow);
}

} // namespace

void TFCOMM::buildTopRow(QWidget* client) {
    const QFont keyFont = arialFont(12, true);
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
    KD2 = place(new QLabel(client), "KD2", 307, 39, 316, 132);
    KD2->setPixmap(dialBackdrop());
    KD2->setScaledContents(true);

    KD = place(new QFrame(client), "KD", 303, 32, 318, 137);
    setBackground(KD, Qt::black);
    KD->setFrameStyle(QFrame::Panel | QFrame::Raised);
    KD1 = place(new QLabel(KD), "KD1", 2, 2, 314, 133);
    KD1->setScaledContents(true);

    oltext = place(new QLabel("OL !!", KD), "oltext", 109, 72, 113, 49);
    oltext->setFont(arialFont(35, true));
    oltext->setAlignment(Qt::AlignCenter);
    setBackground(oltext, Qt::yellow);
    oltext->hide();

    CONok = place(new QLabel(KD), "CONok", 5, 5, 46, 24);
    CONok->setPixmap(drawLinkPicture(true));
    CONokN = place(new QLabel(KD), "CONokN", 5, 5, 46, 24);
    CONokN->setPixmap(drawLinkPicture(false));
    CONok->hide();
}

void TFCOMM::buildChart(QWidget* client) {
    Chtshow = place(new QFrame(client), "Chtshow", 305, 176, 320, 233);
    setBackground(Chtshow, Qt::white);
    ChartView = place(new QChartView(Chtshow), "ChartView", 0, 27, 320, 206);

    auto* bevel = place(new QFrame(Chtshow), "Bevel1", 2, 2, 40, 20);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BtFill = place(new QCheckBox("Fill", Chtshow), "BtFill", 5, 5, 36, 15);
    BtFill->setToolTip("Graphic Fill");
    BtFill->setChecked(true);
    setBackground(BtFill, kToolBarColour);
    Maxrecord = place(new QLineEdit("100", Chtshow), "Maxrecord", 48, 3, 41, 21);
    Maxrecord->installEventFilter(this);
    setBackground(Maxrecord, kToolBarColour);
    BtNew = toolButton(Chtshow, "BtNew", 91, 3, 35, 21, "New", "New");
    BtSave = toolButton(Chtshow, "BtSave", 125, 3, 35, 21, "Save", "Save");
    BtFirst = toolButton(Chtshow, "BtFirst", 163, 3, 25, 21, "First", "|<");
    BTPrevious = toolButton(Chtshow, "BTPrevious", 187, 3, 25, 21, "Previous", "<");
    Bt10 = toolButton(Chtshow, "Bt10", 211, 3, 25, 21, "Page No.", "1");
    QFont pageFont = pixelFont({"MS Sans Serif", "Liberation Sans"}, 11, false);
    Bt10->setFont(pageFont);
    Bt10->setStyleSheet("color: blue");
    BtNext = toolButton(Chtshow, "BtNext", 235, 3, 25, 21, "Next", ">");
    BTlast = toolButton(Chtshow, "BTlast", 259, 3, 25, 21, "last", ">|");
    TbFd = place(new QLabel(Chtshow), "TbFd", 288, 3, 25, 25);
    TbFd->setPixmap(magnifier(true));
    TbFd->setToolTip("Graphic Enlarge");
    TbSx = place(new QLabel(Chtshow), "TbSx", 288, 3, 25, 25);
    TbSx->setPixmap(magnifier(false));
    TbSx->setToolTip("Graphic Restore");
    TbSx->hide();

    connect(BtNew, &QToolButton::clicked, this, &TFCOMM::BtNewClick);
    connect(BtSave, &QToolButton::clicked, this, &TFCOMM::BtSaveClick);
    connect(BtFirst, &QToolButton::clicked, this, &TFCOMM::BtFirstClick);
    connect(BTPrevious, &QToolButton::clicked, this, &TFCOMM::BTPreviousClick);
    connect(BtNext, &QToolButton::clicked, this, &TFCOMM::BtNextClick);
    connect(BTlast, &QToolButton::clicked, this, &TFCOMM::BTlastClick);
}

void TFCOMM::buildLimitsPanel(QWidget* client) {
    Panel3 = place(new QFrame(client), "Panel3", 3, 188, 298, 50);
    setBackground(Panel3, kLimitsPanelColour);
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto label = [this](const char* name, const QString& text, QRect bounds, QFont font) {
        auto* l = place(new QLabel(text, Panel3), name, bounds.x(), bounds.y(), bounds.width(),
                        bounds.height());
        l->setFont(font);
        return l;
    };
    auto symbolLabel = [this](const char* name, const QString& text, QRect bounds, int pixels,
                              bool bold) {
        auto* l = place(new SegraLabel(text, Panel3), name, bounds.x(), bounds.y(), bounds.width(),
                        bounds.height());
        l->setPixelHeight(pixels);
        l->setBold(bold);
        l->setColor(Qt::black);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    Label11 = symbolLabel("Label11", "MIN: ", {8, 9, 40, 16}, 12, true);
    Label12 = symbolLabel("Label12", "MAX: ", {8, 29, 40, 16}, 12, true);
    MinText = label("MinText", "8001", {48, 9, 48, 16}, arialFont(14, false));
    MaxText = label("MaxText", "-8001", {48, 29, 48, 16}, arialFont(14, false));
    MinTextU = symbolLabel("MinTextU", "*", {96, 8, 60, 18}, 14, false);
    MaxTextU = symbolLabel("MaxTextU", "*", {96, 28, 60, 18}, 14, false);
    SetMaxB = place(new QCheckBox("SetMax:", Panel3), "SetMaxB", 159, 6, 68, 17);
    Setmax = place(new QLineEdit("8000", Panel3), "Setmax", 227, 3, 65, 21);
    SetMinB = place(new QCheckBox("SetMin: ", Panel3), "SetMinB", 159, 29, 65, 17);
    SetMin = place(new QLineEdit("-8000", Panel3), "SetMin", 227, 26, 65, 21);
}

void TFCOMM::buildRecordingRow(QWidget* client) {
    const QFont boxFont = arialFont(11, false);
    RepeatSet = place(new QCheckBox("Repeat", client), "RepeatSet", 3, 242, 54, 20);
    RepeatSet->setToolTip("Repeage Record");
    RepeatSet->setChecked(true);
    RecordSI = place(new QCheckBox("Sampling Interval             'S", client), "RecordSI", 64, 242,
                     149, 20);
    for (QCheckBox* box : {RepeatSet, RecordSI})
        box->setFont(boxFont);
    RecordSITime = place(new QLineEdit("10", client), "RecordSITime", 167, 242, 32, 22);

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
    RecordNew = toolButton(client, "RecordNew", 213, 243, 21, 20, "Close Data");
    RecordNew->setIcon(icon(QColor(255, 255, 255), 0));
    OpenDataFiles = toolButton(client, "OpenDataFiles", 235, 243, 21, 20, "Open old data files");
    OpenDataFiles->setIcon(icon(QColor(240, 200, 80), 1));
    saveas = toolButton(client, "saveas", 257, 243, 21, 20, "Save data files");
    saveas->setIcon(icon(QColor(80, 120, 220), 2));
    SpeedButton2 = toolButton(client, "SpeedButton2", 279, 243, 21, 20, "Print");
    SpeedButton2->setIcon(icon(QColor(200, 200, 200), 3));
    connect(RecordNew, &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    connect(OpenDataFiles, &QToolButton::clicked, this, &TFCOMM::OpenDataFilesClick);
    connect(saveas, &QToolButton::clicked, this, &TFCOMM::saveasClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &TFCOMM::BtPrintClick);

    RecordSITime->installEventFilter(this);
    connect(RecordSITime, &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);

    buildGrid(client);
}

void TFCOMM::buildGrid(QWidget* client) {
    DBGrid1 = place(new QTableView(client), "DBGrid1", 3, 264, 299, 145);
    DBGrid1->setModel(Data1);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Times like "08:29:21" must fit the 53-pixel column with the style's cell margins.
    DBGrid1->setFont(arialFont(11, false));
    DBGrid1->setTextElideMode(Qt::ElideNone);
    QPalette pal = DBGrid1->palette();
    pal.setColor(QPalette::Base, QColor(202, 255, 228));
    DBGrid1->setPalette(pal);
    DBGrid1->horizontalHeader()->setFont(
        pixelFont({"MS Sans Serif", "Liberation Sans", "DejaVu Sans"}, 11, false));
    DBGrid1->horizontalHeader()->setMinimumSectionSize(20);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(17);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->hide();
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
    // Precise timers keep the request cycle at 100 ms steps rather than the coarse default.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->start();
    ConTimer->start();
    Trecord->start();
}
