#pragma once

// Bitmap ids shared by the skinned buttons and labels: the picture shown normally (or as a
// label's background), the one shown while a button is hovered, pressed or checked, and a
// third one that is kept for the caller but never drawn.
class CMPWndBmp
{
public:
    CMPWndBmp() = default;
    virtual ~CMPWndBmp();

    int NormalBitmapId() const { return normalBitmapId; }
    int HotBitmapId() const { return hotBitmapId; }
    int ExtraBitmapId() const { return extraBitmapId; }

protected:
    int normalBitmapId = 0;
    int hotBitmapId = 0;
    int extraBitmapId = 0;
};
