#pragma once

#include <QImage>

// The program's artwork by numeric id (skins, buttons, slider parts, icon). Returns a null
// image for an id that the program does not carry. Decoded images are kept, so repeated
// loads cost nothing; QImage shares the pixels until a caller changes them.
QImage LoadSkinImage(int id);

// Whether an id names an image of the program.
bool HasSkinImage(int id);
