// CSkinButton: a skin's picture button; a click reports its identifier to the
// skin dialog (PressButtonID).
#pragma once

#include "skin/SkinClickable.h"

class CSkinButton : public CSkinClickable<CHoverButton> {
};
