// CSkinLabel: a skin's scrolling label; a click reports its identifier to the
// skin dialog (PressButtonID), as a button's does.
#pragma once

#include "skin/ScrollLabel.h"
#include "skin/SkinClickable.h"

class CSkinLabel : public CSkinClickable<CScrollLabel> {
};
