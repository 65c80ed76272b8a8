#include "ui/controls/CMPWndBmp.h"

// Out of line so the class's virtual table lives in one object file.
CMPWndBmp::~CMPWndBmp() = default;
