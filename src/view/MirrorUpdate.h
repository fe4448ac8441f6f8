#pragma once

struct MainDisplay;
class LcdPanel;

// Puts one decoded main-display frame on the LCD mirror: digit captions, the leading digit, the
// points and every annunciator, each shown exactly when the frame lights it.
void showOnMirror(LcdPanel& panel, const MainDisplay& display);
