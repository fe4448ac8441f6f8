#pragma once

#include "PublishConfig.h"

#include <QString>

#include <optional>

// The broker's command-line options (--mqtt, --mqtt-..., --meter-id), the same in every
// program that publishes: one table of names, one set of checks on their form, one help text.
// What the values mean together is checked later, by publishConfigOf.

// Whether name is a broker option that takes a value ("--mqtt-ca"), or one that takes none
// ("--mqtt-retain").
[[nodiscard]] bool isPublishOption(const QString& name);
[[nodiscard]] bool isPublishSwitch(const QString& name);

// Sets a switch in request; false when name is none.
bool applyPublishSwitch(PublishRequest& request, const QString& name);

// Puts value into request for the option name. Nothing when name is not a broker option;
// otherwise whether value fits, with error naming the option and what it expects when not.
[[nodiscard]] std::optional<bool> applyPublishOption(PublishRequest& request, const QString& name,
                                                     const QString& value, QString& error);

// Empty when the options go together, otherwise why not: the --mqtt-... options and --meter-id
// without --mqtt.
[[nodiscard]] QString publishOptionsProblem(const PublishRequest& request);

// The options' lines for a program's --help.
[[nodiscard]] QString publishUsage();
