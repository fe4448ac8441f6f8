// Start-up, model selection, layout on resize and exit.
#include "TFCOMM.h"

#include "BevelPanel.h"
#include "ChartPanel.h"
#include "DialPanel.h"
#include "LcdPanel.h"
#include "LimitsPanel.h"
#include "PanelStyle.h"
#include "ReadingsTableModel.h"
#include "ResizeLayout.h"
#include "SessionPublisher.h"
#include "TCommPortDriver.h"
#include "TopRow.h"
#include "UserMessages.h"

#include "ReadingsGrid.h"
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>

#include <exception>

namespace {
constexpr int kClientWidth = 627;
constexpr int kClientHeight = 413;
} // namespace

TFCOMM::TFCOMM(std::shared_ptr<UserMessages> messages, QWidget* parent, MeterSession::Setup setup)
    : QMainWindow(parent), m_messages(std::move(messages)), m_session(std::move(setup)) {
    if (!m_messages)
        m_messages = std::make_shared<DialogMessages>(this);
    setObjectName("FCOMM");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    setFont(PanelStyle::windowFont(11, true));

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    QPalette pal = client->palette();
    pal.setColor(QPalette::Window, QColor(170, 255, 213));
    client->setPalette(pal);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    Data1 = new ReadingsTableModel(m_session.readings(), this);
    Data1->setObjectName(QStringLiteral("Data1"));

    buildTopRow(client);
    buildLcdColumn(client);
    buildDialPanel(client);
    buildChart(client);
    buildLimitsPanel(client);
    buildRecordingRow(client);
    buildMenu();
    buildTimers();
    bindSession();
    m_session.syncInBackground();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    FormCreate();
}

// Work still waiting on the disk ends first, while everything its outcome is shown on lives.
TFCOMM::~TFCOMM() {
    m_session.finishSyncs();
    // Publishers hear the session and read its clock: they go before it.
    m_publisher.reset();
    qDeleteAll(findChildren<SessionPublisher*>(Qt::FindDirectChildrenOnly));
}

template <typename Step> void TFCOMM::startupStep(Step&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        m_messages->error(QString::fromUtf8(e.what()));
    }
}

void TFCOMM::FormCreate() {
    // A failing step is reported and the rest of start-up still runs, so one bad step (the table,
    // say) cannot leave the program unable to decode.
    // The limits, peaks, numbering and record limit start with the session.
    startupStep([this] { m_dialScale = DialScaleState{}; });
    startupStep([this] { openReadingsTable(); });
    startupStep([this] { drawDialAtStart(); });
    startupStep([this] { resetChartSeries(); });
    startupStep([this] { applyModelRows(); });
}

// The model the session was set up for: the window's title, captions and limits. The session
// set its line and bound its receive event already, so a failing start-up step before this one
// cannot leave the program unable to decode.
void TFCOMM::applyModelRows() {
    const MeterProfile& model = m_session.model();
    setWindowTitle(model.windowTitle);
    Panel1->setCaption(mirrorControl(Annunciator::LcdAC), model.acCaption);
    if (model.d0Caption)
        Panel1->setCaption(LcdControl::LCDD0, *model.d0Caption);
    if (model.daCaption)
        Panel1->setCaption(LcdControl::LcdDa, *model.daCaption);
    limits->setLimitTexts(model.maxLimitText, model.minLimitText);
    if (model.remoteKeys)
        return;
    // A meter that only talks has nothing a key code could reach; its panels say so rather
    // than press keys that do nothing.
    for (int i = 0; i < TopRow::kKeys; ++i) {
        BevelPanel* key = m_topRow->key(i);
        key->setEnabled(false);
        key->setToolTip(tr("The %1 meter has no keys that the computer can press").arg(model.name));
    }
}

QSize TFCOMM::outerSize() const {
    const QWidget* client = centralWidget();
    return {client->width() + kDesignFrameWidth, client->height() + kDesignFrameHeight};
}

void TFCOMM::FormResize() {
    // An enlarged chart goes back to its bounds before the new layout is applied.
    if (chart->isEnlarged() && chart->y() < 100)
        chart->restore();
    const QSize outer = outerSize();
    const ResizeLayout r = computeResizeLayout(outer.width(), outer.height());
    m_topRow->placeRight(r.connectLeft, r.exitLeft);
    DBGrid1->resize(DBGrid1->width(), r.gridHeight);
    dial->setSizes({r.dialWidth, r.dialHeight}, {r.backdropWidth, r.backdropHeight});
    chart->setGeometry(chart->x(), r.chartTop, r.chartWidth, r.chartHeight);
}

// Readings a crash left are offered over the window once it is on screen, with its title, and
// once numbering has its start value, so that adopting them can carry it on.
void TFCOMM::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_foundReadingsOffered)
        return;
    m_foundReadingsOffered = true;
    QTimer::singleShot(0, this, [this] { startupStep([this] { offerFoundReadings(); }); });
}

void TFCOMM::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (chart)
        FormResize();
}

void TFCOMM::BtExit1Click() {
    close();
}

// Exit and the title bar's close button end the program the same way.
void TFCOMM::closeEvent(QCloseEvent* event) {
    // A save or an export still being written ends first; the window then closes.
    if (m_session.writing()) {
        m_closeWhenWritten = true;
        event->ignore();
        return;
    }
    // An export or a report still reads the table; it ends first (or is cancelled).
    if (m_longWorkRunning) {
        event->ignore();
        return;
    }
    if (!closeReadingsTable()) {
        event->ignore();
        return;
    }
    m_session.disconnectLine();
    event->accept();
    closePublisher([] { QCoreApplication::quit(); });
}
