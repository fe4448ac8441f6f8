#include "link/RequestWriter.h"

#include "link/TCommPortDriver.h"

RequestWriter::Outcome RequestWriter::write(std::uint8_t byte) {
    return m_port->SendBytes(&byte, 1) == 1 ? Outcome::Sent : Outcome::NotOpen;
}
