#pragma once

#include <stdexcept>

// A file that is not a table of readings (an export, the chart's bitmap, a report file) that must
// not or cannot be written where it was asked. what() is a sentence for the user, in UTF-8.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
