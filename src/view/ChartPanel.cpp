#include "ChartPanel.h"

#include "PanelStyle.h"

#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

using namespace PanelStyle;

namespace {

const QColor kToolBarColour(0xFD, 0xE9, 0xE1);

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

QLabel* magnifierImage(QWidget* parent, const char* name, bool plus, const QString& hint) {
    auto* image = place(new QLabel(parent), name, 288, 3, 25, 25);
    image->setPixmap(magnifier(plus));
    image->setToolTip(hint);
    return image;
}

} // namespace

ChartPanel::ChartPanel(QWidget* parent, QChartView* view) : QFrame(parent) {
    setObjectName(QStringLiteral("Chtshow"));
    setBackground(this, Qt::white);
    if (!view)
        view = new QChartView;
    view->setParent(this);
    // Created first, so the tool bar stands above it.
    m_chartView = place(view, "ChartView", 0, 0, 320, 233);

    auto* bevel = place(new QFrame(this), "Bevel1", 2, 2, 40, 20);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_fill = place(new QCheckBox(QStringLiteral("Fill"), this), "BtFill", 5, 5, 36, 15);
    m_fill->setToolTip(QStringLiteral("Graphic Fill"));
    m_fill->setChecked(true);
    setBackground(m_fill, kToolBarColour);
    m_maxRecord = place(new QLineEdit(QStringLiteral("100"), this), "Maxrecord", 48, 3, 41, 21);
    setBackground(m_maxRecord, kToolBarColour);
    m_new = toolButton(this, "BtNew", 91, 3, 35, 21, "New", "New");
    m_save = toolButton(this, "BtSave", 125, 3, 35, 21, "Save", "Save");
    m_first = toolButton(this, "BtFirst", 163, 3, 25, 21, "First", "|<");
    m_previous = toolButton(this, "BTPrevious", 187, 3, 25, 21, "Previous", "<");
    m_page = toolButton(this, "Bt10", 211, 3, 25, 21, "Page No.", "1");
    m_page->setFont(pixelFont({"MS Sans Serif", "Liberation Sans"}, 11, false));
    m_page->setStyleSheet("color: blue");
    m_next = toolButton(this, "BtNext", 235, 3, 25, 21, "Next", ">");
    m_last = toolButton(this, "BTlast", 259, 3, 25, 21, "last", ">|");
    m_enlarge = magnifierImage(this, "TbFd", true, QStringLiteral("Graphic Enlarge"));
    m_restore = magnifierImage(this, "TbSx", false, QStringLiteral("Graphic Restore"));
    m_restore->hide();
    m_enlarge->installEventFilter(this);
    m_restore->installEventFilter(this);

    connect(m_fill, &QCheckBox::clicked, this, &ChartPanel::fillClicked);
    connect(m_maxRecord, &QLineEdit::textChanged, this, &ChartPanel::pointsPerPageEdited);
    connect(m_new, &QToolButton::clicked, this, &ChartPanel::newClicked);
    connect(m_save, &QToolButton::clicked, this, &ChartPanel::saveClicked);
    connect(m_first, &QToolButton::clicked, this, &ChartPanel::firstClicked);
    connect(m_previous, &QToolButton::clicked, this, &ChartPanel::previousClicked);
    connect(m_next, &QToolButton::clicked, this, &ChartPanel::nextClicked);
    connect(m_last, &QToolButton::clicked, this, &ChartPanel::lastClicked);
    setGeometry(305, 176, 320, 233);
}

void ChartPanel::setPageNumber(int page) {
    m_page->setText(QString::number(page));
}

void ChartPanel::setBackEnabled(bool enabled) {
    m_first->setEnabled(enabled);
    m_previous->setEnabled(enabled);
}

void ChartPanel::setForwardEnabled(bool enabled) {
    m_next->setEnabled(enabled);
    m_last->setEnabled(enabled);
}

void ChartPanel::enlarge(const QRect& bounds) {
    if (m_enlarged)
        return;
    m_savedBounds = geometry();
    m_enlarged = true;
    m_enlarge->hide();
    m_restore->show();
    setGeometry(bounds);
}

void ChartPanel::restore() {
    if (!m_enlarged)
        return;
    m_enlarged = false;
    m_restore->hide();
    m_enlarge->show();
    setGeometry(m_savedBounds);
}

// The chart fills the panel; the tool bar lies over its top margin.
void ChartPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_chartView->setGeometry(rect());
}

bool ChartPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool image = watched == m_enlarge || watched == m_restore;
    if (image && event->type() == QEvent::MouseButtonRelease) {
        emit enlargeClicked();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
