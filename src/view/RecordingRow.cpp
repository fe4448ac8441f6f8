#include "RecordingRow.h"

#include "PanelStyle.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

using namespace PanelStyle;

namespace {

enum class Glyph { CloseData, Open, Save, Print };

// A small glyph for a tool button, drawn so the program ships no image files.
QIcon glyphIcon(QColor colour, Glyph glyph) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(), 1));
    p.setBrush(colour);
    switch (glyph) {
    case Glyph::CloseData: // a sheet with a cross
        p.drawRect(QRectF(3.5, 1.5, 9, 13));
        p.setPen(QPen(Qt::black, 1.5));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    case Glyph::Open: // a folder
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        break;
    case Glyph::Save: // a disk
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        break;
    case Glyph::Print: // a printer
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        break;
    }
    return QIcon(pm);
}

} // namespace

RecordingRow::RecordingRow(QWidget* client) : QObject(client) {
    const QFont boxFont = arialFont(11, false);
    const QColor background = client->palette().color(QPalette::Window);
    m_repeat = place(new QCheckBox("Repeat", client), "RepeatSet", 3, 242, 54, 20);
    m_repeat->setToolTip("Repeage Record");
    m_repeat->setChecked(true);
    // The blanks of this caption run under the interval edit, so that "'S" shows between the
    // edit's right edge and RecordNew.
    m_interval = place(new QCheckBox("Sampling Interval             'S", client), "RecordSI", 64,
                       242, 149, 20);
    for (QCheckBox* box : {m_repeat, m_interval}) {
        box->setFont(boxFont);
        useClassicCheckBoxMetrics(box);
        // Only the face behind the caption: the box itself stays white. A button would fill
        // with its face colour.
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, background);
        box->setPalette(pal);
        box->setBackgroundRole(QPalette::Window);
        box->setAutoFillBackground(true);
        connect(box, &QCheckBox::toggled, this,
                [this] { emit filtersChanged(repeat(), interval()); });
    }
    m_intervalEdit = place(new QLineEdit("10", client), "RecordSITime", 167, 242, 32, 22);
    m_intervalEdit->setFont(boxFont);
    setBackground(m_intervalEdit, background);
    connect(m_intervalEdit, &QLineEdit::textChanged, this, &RecordingRow::intervalEdited);

    struct Command {
        const char* name;
        int left;
        int width;
        const char* hint;
        QColor colour;
        Glyph glyph;
        void (RecordingRow::*clicked)();
    };
    const Command commands[] = {{"RecordNew", 213, 23, "Close Data", QColor(255, 255, 255),
                                 Glyph::CloseData, &RecordingRow::closeDataClicked},
                                {"OpenDataFiles", 235, 23, "Open old data files",
                                 QColor(240, 200, 80), Glyph::Open, &RecordingRow::openClicked},
                                {"saveas", 257, 23, "Save data files", QColor(80, 120, 220),
                                 Glyph::Save, &RecordingRow::saveAsClicked},
                                {"SpeedButton2", 279, 22, "Print", QColor(200, 200, 200),
                                 Glyph::Print, &RecordingRow::printClicked}};
    int i = 0;
    for (const Command& c : commands) {
        QToolButton* button = toolButton(client, c.name, c.left, 243, c.width, 21, c.hint);
        button->setIcon(glyphIcon(c.colour, c.glyph));
        connect(button, &QToolButton::clicked, this, c.clicked);
        m_commands[i++] = button;
    }
}

bool RecordingRow::repeat() const {
    return m_repeat->isChecked();
}

bool RecordingRow::interval() const {
    return m_interval->isChecked();
}

QString RecordingRow::intervalText() const {
    return m_intervalEdit->text();
}

void RecordingRow::setCommandsEnabled(bool enabled) {
    for (QToolButton* button : m_commands)
        button->setEnabled(enabled);
}
