#pragma once

#include "TableError.h"

// What a table's refusal of a reading means for the readings after it. Each host responds in its
// own way (the window pauses and says so, the logger ends its run), but the cause is read once,
// here.
enum class TableFailure {
    ThisReading, // the reading itself did not fit; the next one may
    Table,       // the table could not be written now (disk full, write failed); it may recover
    WholeTable,  // the table cannot take readings at all until another is opened or it is emptied
};

[[nodiscard]] constexpr TableFailure classifyTableFailure(TableCause cause) {
    switch (cause) {
    case TableCause::ValueDoesNotFit:
        return TableFailure::ThisReading;
    case TableCause::ReadOnly:
    case TableCause::FieldMissing:
    case TableCause::NotOpen:
        return TableFailure::WholeTable;
    default:
        return TableFailure::Table;
    }
}
