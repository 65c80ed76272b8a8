#pragma once

#include <QImage>
#include <QString>

// The program's artwork by numeric id (skins, buttons, slider parts, icon). Returns a null
// image for an id that the program does not carry. Decoded images are kept, so repeated
// loads cost nothing; QImage shares the pixels until a caller changes them.
QImage LoadSkinImage(int id);

// Whether an id names an image of the program.
bool HasSkinImage(int id);

// The language of the captions painted into the images: the language the installed
// translation names ("zh_CN"), set once at start before the window loads its images. An image
// whose captions that language changes comes from its own set, ":/skin/<language>/<id>.png";
// every other image, and every image under an empty language or one without a set, is the
// English one.
void SetSkinImageLanguage(const QString& language);
