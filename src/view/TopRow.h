#pragma once

#include <QObject>

#include <array>

class BevelPanel;
class QWidget;

// The window's top row: the port panels, the meter's key panels, Connect and Disconnect, and
// Exit. Its controls stand on the window's client area at their designed places and carry their
// layout names; the row hands on what the user does with them.
class TopRow : public QObject {
    Q_OBJECT
public:
    // The key panels in the order a press is looked for: RANGE, Hz-%, Hold, REL, MAX-MIN,
    // Peak-Buzzer, Buzzer, AC-DC-Cap (the meter's keys in that order).
    static constexpr int kKeys = 8;
    static constexpr int kBuzzerKey = 6;

    explicit TopRow(QWidget* client);

    // The index of a key panel in the order above; -1 for any other widget.
    [[nodiscard]] int keyIndexOf(const QObject* panel) const;
    [[nodiscard]] BevelPanel* key(int index) const { return m_keys.at(std::size_t(index)); }
    // The pressed key looks pressed; a release shows all visible keys at rest.
    void showPressed(BevelPanel* key);
    void showAllReleased();
    // Only the chosen port's panel shows; a click on it chooses the next in the ring.
    void showPort(int port);
    void showConnected(bool connected);
    // The right-hand panels follow the window's width.
    void placeRight(int connectLeft, int exitLeft);

signals:
    void portClicked(int nextPort);
    void keyPressed(BevelPanel* key);
    void keyReleased(BevelPanel* key);
    void connectClicked();
    void disconnectClicked();
    void exitClicked();

private:
    std::array<BevelPanel*, 4> m_ports{};
    std::array<BevelPanel*, kKeys> m_keys{};
    BevelPanel* m_connect = nullptr;
    BevelPanel* m_disconnect = nullptr;
    BevelPanel* m_exit = nullptr;
};
