#include "MeterProfile.h"

#include "RequestCycle.h"

#include <array>

namespace {

// The three models share their line, requests and keys; they differ in what the window shows.
MeterProfile velmarFamily(const QString& name) {
    MeterProfile profile;
    profile.name = name;
    profile.requests = {RequestCycle::kBarGraphRequest, RequestCycle::kBarGraphRequest,
                        RequestCycle::kBarGraphRequest, RequestCycle::kMainDisplayRequest,
                        std::nullopt};
    for (std::size_t key = 0; key < profile.longPressCodes.size(); ++key)
        profile.longPressCodes[key] = ::longPressCode(static_cast<MeterKey>(key));
    profile.windowTitle = name + QStringLiteral(" Interface Program _Ver: 1.00");
    return profile;
}

// A four-digit display: the mirror's own captions for it, and limits at its counts.
MeterProfile& withFourDigits(MeterProfile& profile, const QString& daCaption, int counts) {
    profile.acCaption = QStringLiteral("AC");
    profile.d0Caption = QString();
    profile.daCaption = daCaption;
    profile.maxLimitText = QString::number(counts);
    profile.minLimitText = QString::number(-counts);
    return profile;
}

// The four-digit models of the family: 8000 counts.
MeterProfile fourDigit(const QString& name) {
    MeterProfile profile = velmarFamily(name);
    return withFourDigits(profile, QStringLiteral("7"), 8000);
}

} // namespace

const MeterProfile& MeterProfile::velmarC() {
    static const MeterProfile profile = fourDigit(QStringLiteral("VelmarC"));
    return profile;
}

const MeterProfile& MeterProfile::velmarD() {
    static const MeterProfile profile = [] {
        MeterProfile p = velmarFamily(QStringLiteral("VelmarD"));
        p.acCaption = QStringLiteral("AC trms");
        p.maxLimitText = QStringLiteral("80000");
        p.minLimitText = QStringLiteral("-80000");
        return p;
    }();
    return profile;
}

const MeterProfile& MeterProfile::tessik() {
    static const MeterProfile profile = fourDigit(QStringLiteral("Tessik"));
    return profile;
}

const MeterProfile& MeterProfile::fs9721() {
    static const MeterProfile profile = [] {
        MeterProfile p;
        p.name = QStringLiteral("fs9721");
        p.speed = br2400;
        p.frames = FrameFormat::fs9721Frames();
        // A frame about every 500 ms, whole on the line in 58 ms: a poll every 250 ms sees each
        // frame at most 250 ms late, so no more than three link ticks pass between frames up to
        // 750 ms apart and the link picture does not blink; it turns on the fourth tick (750 to
        // 1000 ms) without one. A quarter second shares its wake-ups with the 1 s timers.
        p.linkTickMs = 250;
        p.receivePollMs = 250;
        p.linkLostAfterTicks = 4;
        p.remoteKeys = false;
        p.windowTitle = QStringLiteral("FS9721 Interface Program _Ver: 1.00");
        return withFourDigits(p, QStringLiteral("3"), 4000);
    }();
    return profile;
}

namespace {

// Every model --model offers, in the order the help lists them.
std::array<const MeterProfile*, 4> models() {
    return {&MeterProfile::velmarC(), &MeterProfile::velmarD(), &MeterProfile::tessik(),
            &MeterProfile::fs9721()};
}

} // namespace

const MeterProfile* MeterProfile::named(const QString& name) {
    for (const MeterProfile* profile : models()) {
        if (profile->name.compare(name, Qt::CaseInsensitive) == 0)
            return profile;
    }
    return nullptr;
}

QStringList MeterProfile::names() {
    QStringList names;
    for (const MeterProfile* profile : models())
        names << profile->name;
    return names;
}
