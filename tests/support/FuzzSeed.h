#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <random>

// The seed of a fuzz test: VELMAR_FUZZ_SEED when set, so that a failure can be replayed, and a
// fresh one otherwise, so that every run tries new input. Printed at the start, and every failure
// message of the fuzz tests repeats it.
inline std::uint64_t fuzzSeed() {
    static const std::uint64_t seed = [] {
        bool ok = false;
        const std::uint64_t given = qEnvironmentVariable("VELMAR_FUZZ_SEED").toULongLong(&ok, 0);
        if (ok)
            return given;
        std::random_device device;
        return std::uint64_t{device()} << 32 | device();
    }();
    return seed;
}

// "(seed N; replay with VELMAR_FUZZ_SEED=N)", for failure messages.
inline QByteArray replayNote() {
    const QByteArray seed = QByteArray::number(fuzzSeed());
    return " (seed " + seed + "; replay with VELMAR_FUZZ_SEED=" + seed + ")";
}
