#include "TableError.h"

#include "ParadoxError.h"

namespace {

TableCause causeOf(ParadoxCause cause) {
    switch (cause) {
    case ParadoxCause::DiskFull:
        return TableCause::DiskFull;
    case ParadoxCause::WriteFailed:
        return TableCause::WriteFailed;
    case ParadoxCause::ValueDoesNotFit:
        return TableCause::ValueDoesNotFit;
    case ParadoxCause::Damaged:
    case ParadoxCause::Other:
        break;
    }
    return TableCause::Other;
}

} // namespace

TableError::TableError(const ParadoxError& engine)
    : TableError(engine.message(), causeOf(engine.cause())) {}
