#pragma once

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// velmar-decode as its users run it: the built program with arguments and standard input, its
// JSON lines, its "#" notes and its messages read back.
struct Run {
    QList<QJsonObject> objects;
    QStringList notes; // output lines starting with "#"
    QString errors;
    int exitCode = -1;
};

// Runs the built velmar-decode with the given arguments and standard input.
Run runDecode(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + "/../bin/velmar-decode", arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000))
        return {};
    Run run;
    run.exitCode = process.exitCode();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.startsWith('#')) {
            run.notes.append(QString::fromUtf8(line));
            continue;
        }
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            qWarning("not a JSON object: %s", line.constData());
        run.objects.append(document.object());
    }
    return run;
}
