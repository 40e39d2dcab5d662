#pragma once
// The search window: the program's main window for the whole run.

#include "runtime/window.h"

#include <QtGlobal>

class w_search : public rt::Window {
    Q_OBJECT
public:
    w_search();

    void open() override;

    // Centres any window on the screen (not on this window).
    void centriraj_prozor(rt::Window* prozor);
};

// The centred position of one axis: (screen - window) / 2, formed as a 32-bit
// difference, halved in double precision and truncated toward zero into 16 bits.
qint16 centredPosition(qint16 screenUnits, qint16 windowUnits);
