#pragma once

class QWidget;

// Centres a top-level window on the screen it is on (the primary one before it is shown).
void centreOnScreen(QWidget* window);
