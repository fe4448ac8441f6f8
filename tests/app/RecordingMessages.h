#pragma once

#include "app/UserMessages.h"

#include <QStringList>

// Stands in for the message boxes: remembers what the window said and answers questions as told.
class RecordingMessages final : public UserMessages {
public:
    void error(const QString& text) override { errors << text; }
    void information(const QString& text) override { informations << text; }
    bool askYesNo(const QString& text) override {
        questions << text;
        return answerYes;
    }

    QStringList errors;
    QStringList informations;
    QStringList questions;
    bool answerYes = false;
};
