#pragma once

#include <QtGlobal>

#include <cstdint>

class TCommPortDriver;

// The window's one way of writing a byte to the meter: request bytes and key codes.
class RequestWriter {
public:
    enum class Outcome { Sent, Skipped, Kept, NotOpen };

    explicit RequestWriter(TCommPortDriver& port) : m_port(&port) {}

    Outcome write(std::uint8_t byte);
    // At each request tick, before the request.
    void flushKeys() {}

private:
    TCommPortDriver* m_port;
};
