// The analog dial: the face with the limit band, and the needle on top. The picture is kept
// between frames, so a frame whose face inputs are unchanged redraws only the needle.
#include "TFCOMM.h"

#include "AlarmLimits.h"
#include "DialFace.h"
#include "DialPanel.h"
#include "LimitBand.h"

#include <QLabel>

void TFCOMM::drawDialAtStart() {
    KDsetup(1);
    KDrun(m_dialScale.DialScale * 10);
}

void TFCOMM::KDsetup(int) {
    DialFace face;
    face.panel = dial->size();
    face.surface = dial->picture()->size();
    face.dialScale = m_dialScale.DialScale;
    face.wideScale = m_dialScale.WideScale;
    face.band = LimitBand(m_session.alarmLimits(), m_fiveDigit);
    dial->dialPicture().setup(face);
    dial->showDialChanges();
}

void TFCOMM::KDrun(int position) {
    m_needlePosition = position;
    dial->dialPicture().run(position, m_dialScale.DialScale, m_dialScale.DialOffset);
    dial->showDialChanges();
}

// The picture follows the panel's size so that the face stays sharp; the needle comes back where
// it was rather than waiting for the next frame.
void TFCOMM::redrawDialForNewSize() {
    KDsetup(0);
    KDrun(m_needlePosition);
}
