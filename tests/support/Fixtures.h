#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTest>

// The shared sample tables lie beside the repository, not in it. Without them a test says so and
// skips; under CI, where they must be there, it fails with the same message.
#define VELMAR_REQUIRE_FIXTURE(path)                                                               \
    do {                                                                                           \
        const QString fixturePath_ = (path);                                                       \
        if (!QFileInfo::exists(fixturePath_)) {                                                    \
            const QByteArray why_ =                                                                \
                "the shared Paradox fixture " + QFile::encodeName(fixturePath_) + " is missing";   \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                QFAIL(why_.constData());                                                           \
            QSKIP(why_.constData());                                                               \
        }                                                                                          \
    } while (false)
