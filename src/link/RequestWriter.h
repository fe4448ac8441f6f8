#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

class LinkHealth;
class TCommPortDriver;

// The window's one way of writing a byte to the meter, without ever blocking its thread. A request
// byte that the line cannot take now is skipped and counted: the next tick asks again. A key code
// is the user's command, so it is kept and sent, in order, at the next tick that can take it.
class RequestWriter {
public:
    // Writes one byte without waiting: 1 when the line took it, 0 when its queue has no room now,
    // -1 when the port is closed or the write failed.
    using TryWrite = std::function<qint32(std::uint8_t byte)>;

    enum class Outcome {
        Sent,    // on the line
        Skipped, // a request the line had no room for; counted
        Kept,    // a key code waiting for room
        NotOpen, // the port is closed or failed: nothing is sent, as on a closed port
    };

    explicit RequestWriter(TryWrite tryWrite, LinkHealth* health = nullptr);
    // Writes through the port's TrySendBytes.
    explicit RequestWriter(TCommPortDriver& port, LinkHealth* health = nullptr);

    // Request bytes (0x89, 0x8A) are skipped when the line is full; any other byte is a key code
    // and is kept. A key code also waits behind key codes kept before it.
    Outcome write(std::uint8_t byte);
    Outcome sendRequest(std::uint8_t request);
    Outcome sendKey(std::uint8_t code);

    // At each request tick, before the request: sends the kept key codes, oldest first, as far as
    // the line takes them. A closed port forgets them.
    void flushKeys();
    // Forgets the kept key codes (Connect, Disconnect): a press from before must not act later.
    void clear() { m_keys.clear(); }
    [[nodiscard]] std::size_t keysWaiting() const { return m_keys.size(); }

    [[nodiscard]] static bool isRequest(std::uint8_t byte);

private:
    TryWrite m_tryWrite;
    LinkHealth* m_health;
    std::deque<std::uint8_t> m_keys;
};
