#include "TopRow.h"

#include "BevelPanel.h"
#include "PanelStyle.h"
#include "SegraGlyphs.h"

#include <QPainter>

using namespace PanelStyle;

namespace {

const QColor kTopRowColour(35, 35, 35);

BevelPanel* topRowPanel(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width) {
    auto* p = place(new BevelPanel(caption, parent), name, left, top, width, 26);
    p->setColors(kTopRowColour, Qt::yellow);
    // The panels keep the window's own bold lettering; at 11 pixels "RANGE" and "AC-DC-Cap" fit.
    p->setFont(windowFont(11, true));
    return p;
}

// The port panels' captions in the display font: "COM /" reads COM1.
void paintComCaption(QPainter& p, const QRect& rect, const QString& caption) {
    SegraGlyphs::drawText(p, rect, Qt::AlignCenter, caption, {19, true, true}, Qt::yellow);
}

} // namespace

TopRow::TopRow(QWidget* client) : QObject(client) {
    const char* portNames[] = {"BtCOM1", "BtCOM2", "BtCOM3", "BtCOM4"};
    const char* portCaptions[] = {"COM /", "COM ,", "COM <", "COM >"};
    for (int i = 0; i < 4; ++i) {
        BevelPanel* port = topRowPanel(client, portNames[i], portCaptions[i], 5, 3, 84);
        port->setCaptionPainter(&paintComCaption);
        port->setVisible(i == 0);
        connect(port, &BevelPanel::clicked, this, [this, i] { emit portClicked((i + 1) % 4 + 1); });
        m_ports[std::size_t(i)] = port;
    }
    struct KeyPlace {
        int index; // in the order of kKeys
        const char* name;
        const char* caption;
        int left;
        int top;
        int width;
    };
    // Left to right, as the layout places them.
    const KeyPlace keys[kKeys] = {
        {5, "BtPeak", "Peak-Buzzer", 94, 3, 76}, {4, "BtRecord", "MAX-MIN", 171, 3, 57},
        {0, "BtRange", "RANGE", 229, 3, 45},     {2, "BtHold", "Hold", 275, 3, 34},
        {7, "BtSel", "AC-DC-Cap", 310, 3, 68},   {3, "BtRel", "REL", 379, 3, 29},
        {1, "BtHz", "Hz-%", 409, 3, 35},         {6, "BtBuzzer", "Buzzer", 269, 35, 45}};
    for (const KeyPlace& k : keys) {
        BevelPanel* key = topRowPanel(client, k.name, k.caption, k.left, k.top, k.width);
        connect(key, &BevelPanel::mousePressed, this, [this, key] { emit keyPressed(key); });
        connect(key, &BevelPanel::mouseReleased, this, [this, key] { emit keyReleased(key); });
        m_keys[std::size_t(k.index)] = key;
    }
    m_keys[kBuzzerKey]->hide();

    m_connect = topRowPanel(client, "BTCon", "Connect", 451, 2, 105);
    m_disconnect = topRowPanel(client, "BtDiscon", "Disconnect", 451, 2, 105);
    m_disconnect->hide();
    m_exit = topRowPanel(client, "BtExit", "Exit", 557, 2, 65);
    connect(m_connect, &BevelPanel::clicked, this, &TopRow::connectClicked);
    connect(m_disconnect, &BevelPanel::clicked, this, &TopRow::disconnectClicked);
    connect(m_exit, &BevelPanel::clicked, this, &TopRow::exitClicked);
}

int TopRow::keyIndexOf(const QObject* panel) const {
    for (int i = 0; i < kKeys; ++i) {
        if (m_keys[std::size_t(i)] == panel)
            return i;
    }
    return -1;
}

void TopRow::showPressed(BevelPanel* key) {
    key->setBevels(BevelPanel::Bevel::Raised, BevelPanel::Bevel::Lowered);
}

void TopRow::showAllReleased() {
    for (BevelPanel* key : m_keys) {
        if (key != m_keys[kBuzzerKey]) // the hidden Buzzer panel is never drawn
            key->setBevels(BevelPanel::Bevel::Lowered, BevelPanel::Bevel::Raised);
    }
}

void TopRow::showPort(int port) {
    for (int i = 0; i < 4; ++i)
        m_ports[std::size_t(i)]->setVisible(i + 1 == port);
}

void TopRow::showConnected(bool connected) {
    m_connect->setVisible(!connected);
    m_disconnect->setVisible(connected);
}

void TopRow::placeRight(int connectLeft, int exitLeft) {
    m_exit->move(exitLeft, m_exit->y());
    m_connect->move(connectLeft, m_connect->y());
    m_disconnect->move(connectLeft, m_disconnect->y());
}
