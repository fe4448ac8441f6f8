// The analog dial: the face with the limit band, and the needle on top. The picture is kept
// between frames, so a frame whose face inputs are unchanged redraws only the needle.
#include "TFCOMM.h"

#include "AlarmLimits.h"
#include "DialFace.h"
#include "DialPanel.h"
#include "LimitBand.h"
#include "LimitsPanel.h"

#include <QLabel>

void TFCOMM::drawDialAtStart() {
    KDsetup(1);
    KDrun(dialScale.DialScale * 10);
}

void TFCOMM::KDsetup(int) {
    const AlarmLimits armed{limits->isMaxArmed(), limitState.MaxLimit, limits->isMinArmed(),
                            limitState.MinLimit};
    DialFace face;
    face.panel = KD->size();
    face.surface = KD1->size();
    face.dialScale = dialScale.DialScale;
    face.wideScale = dialScale.WideScale;
    face.band = LimitBand(armed, FiveDigit);
    dial->dialPicture().setup(face);
    dial->showDialChanges();
}

void TFCOMM::KDrun(int position) {
    needlePosition = position;
    dial->dialPicture().run(position, dialScale.DialScale, dialScale.DialOffset);
    dial->showDialChanges();
}

// The picture follows the panel's size so that the face stays sharp; the needle comes back where
// it was rather than waiting for the next frame.
void TFCOMM::redrawDialForNewSize() {
    KDsetup(0);
    KDrun(needlePosition);
}
