// Lays every skinned control over each skin at the main window's positions and writes the
// result as PNG files, so the window's look can be checked without the rest of the program.
// Usage: ui_skin_preview <output folder>

#include "ui/controls/CBitmapSlider.h"
#include "ui/controls/CBmpRgn.h"
#include "ui/controls/CMPButton.h"
#include "ui/controls/CMPStatic.h"
#include "ui/controls/SkinImages.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QSlider>

#include <cstdio>
#include <vector>

namespace {

class PreviewWindow : public QWidget
{
public:
    explicit PreviewWindow(int skinId) : skin(LoadSkinImage(skinId))
    {
        setProperty("BmpProp", skin);
        resize(750, 810);
    }

    std::vector<int> values = {120, 600, 90, 45};
    bool showValues = true;
    CMPButton* picker = nullptr;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, skin);
        if (picker)
            picker->PaintSwatch(p);
        QFont f = font();
        f.setPixelSize(18);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(255, 255, 255));
        // The value readouts over the sliders: digits in 13-pixel cells, right-aligned.
        const int rights[4] = {115, 200, 280, 365};
        for (int k = 0; showValues && k < 4; ++k) {
            const QString text = QString::asprintf("%4d", values[k]);
            QRect r(rights[k] - 60, 342, 60, 48);
            for (int i = text.size() - 1; i >= 0; --i) {
                p.drawText(r, Qt::AlignRight | Qt::AlignTop, text.mid(i, 1));
                r.setRight(r.right() - 13);
            }
        }
        QFont small = font();
        small.setPixelSize(12);
        p.setFont(small);
        const int rgb[3] = {43, 196, 234};
        for (int k = 0; k < 3; ++k)
            p.drawText(QRect(514, 412 + 38 * k, 47, 21), Qt::AlignCenter, QString::number(rgb[k]));
    }

private:
    QImage skin;
};

CMPButton* Button(QWidget* w, int id, int x, int y, int normal, int hot, int extra = 0)
{
    auto* b = new CMPButton(w);
    b->Create(id, QRect(x, y, 10, 10), normal, hot, extra);
    return b;
}

void Build(PreviewWindow* w, int skinId, bool preset)
{
    QFont symbols = w->font();
    symbols.setPixelSize(14);
    Button(w, 100, 585, 19, 192, 192)->SetText(QStringLiteral("\u2699"));
    Button(w, 103, 624, 19, 191, 192)->SetText(QStringLiteral("\u2630"));
    for (QWidget* c : w->findChildren<CMPButton*>())
        c->setFont(symbols);
    Button(w, 101, 663, 19, 135, 136);
    Button(w, 102, 701, 19, 133, 134);
    const int modes[4][2] = {{141, 149}, {143, 150}, {142, 148}, {151, 152}};
    const int modeX[4] = {36, 208, 380, 552};
    const int chosen = preset ? 1 : 3;
    for (int k = 0; k < 4; ++k) {
        const int n = k == chosen ? modes[k][1] : modes[k][0];
        Button(w, 104 + k, modeX[k], 572, n, modes[k][1]);
    }
    Button(w, 108, 17, 288, 198, 199);
    Button(w, 109, 17, 342, 195, 195, 195)->setEnabled(false);
    Button(w, 115, 293, 773, 156, 155);
    Button(w, 116, 395, 773, 154, 153);
    const int sliderX[4] = {63, 150, 237, 324};
    const int ranges[4][2] = {{-200, 250}, {-500, 1000}, {50, 110}, {0, 100}};
    for (int k = 0; k < 4; ++k) {
        auto* s = new CBitmapSlider(w, 117 + k);
        s->setGeometry(sliderX[k], 380, 57, 151);
        s->SetThumbBitmap();
        s->SetVertical();
        s->SetRange(ranges[k][0], ranges[k][1]);
        s->SetPos(w->values[k]);
        s->setVisible(!preset);
        if (k == 2)
            s->setEnabled(false);
    }
    w->showValues = !preset;
    Button(w, 128, 40, 264, 171, 171)->setVisible(preset);
    w->picker = Button(w, 127, 428, 332, 172, 172);
    w->picker->SetColorPick(true);
    for (int k = 0; k < 8; ++k)
        Button(w, 129 + k, 451 + 15 * k, 527, k == 1 ? 176 + 2 * k : 175 + 2 * k, 176 + 2 * k);
    const int targetNormal[4] = {207, 209, 211, 213};
    const int targetSel = skinId == 130 ? 0 : skinId == 204 ? 1 : 2;
    for (int k = 0; k < 4; ++k)
        Button(w, 160 + k, 596 + 28 * k, 303, k == targetSel ? targetNormal[k] + 1 : targetNormal[k],
               targetNormal[k] + 1);
    Button(w, 126, 517, 302, 193, 194);
    if (skinId == 130) {
        const int ys[5] = {359, 383, 430, 476, 524};
        for (int k = 0; k < 5; ++k)
            Button(w, 121 + k, 579, ys[k], k == 1 ? 174 : 173, 174);
        const char* lists[3] = {"3s", "3s*8", "3s*8"};
        const int comboY[3] = {404, 451, 498};
        for (int k = 0; k < 3; ++k) {
            auto* c = new QComboBox(w);
            c->addItem(QString::fromLatin1(lists[k]));
            c->setGeometry(600, comboY[k], 120, 22);
        }
    } else if (skinId == 204) {
        for (int k = 0; k < 5; ++k)
            Button(w, 137 + k, 580, 361 + 27 * k, k == 2 ? 174 : 173, 174);
    } else {
        for (int k = 0; k < 7; ++k)
            Button(w, 142 + k, 580, 361 + 27 * k, k == 1 ? 174 : 173, 174);
        for (int k = 0; k < 4; ++k)
            Button(w, 149 + k, 645, 361 + 27 * k, 173, 174);
    }
    for (int k = 0; k < 3; ++k) {
        auto* s = new QSlider(Qt::Horizontal, w);
        s->setRange(0, 255);
        s->setValue(k == 0 ? 43 : k == 1 ? 196 : 234);
        s->setGeometry(440, 414 + 38 * k, 70, 17);
    }
    QFont digits(QStringLiteral("DSEG7 Classic"));
    digits.setPixelSize(40);
    auto* clock = new CMPStatic(w, 154);
    clock->setGeometry(83, 134, 175, 66);
    clock->setFont(digits);
    clock->SetText(QStringLiteral("1935"));
    digits.setPixelSize(24);
    const char* readouts[3] = {"10501", "64", "42"};
    for (int k = 0; k < 3; ++k) {
        auto* l = new CMPStatic(w, 155 + k);
        l->setGeometry(584, 87 + 60 * k, 105, 40);
        l->setFont(digits);
        l->SetText(QString::fromLatin1(readouts[k]));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    struct Shot { int skin; bool preset; const char* name; };
    const Shot shots[] = {{130, false, "window-custom-130.png"}, {130, true, "window-preset-130.png"},
                          {204, false, "window-zone-204.png"}, {205, false, "window-effect-205.png"}};
    for (const Shot& s : shots) {
        PreviewWindow w(s.skin);
        Build(&w, s.skin, s.preset);
        CBmpRgn shape(&w, LoadSkinImage(s.skin), qRgb(255, 255, 255), 0, 2);
        shape.ApplyRegion();
        w.show();
        QApplication::processEvents();
        // The window as the desktop shows it: only its outline, over a contrasting desktop.
        QImage desk(790, 850, QImage::Format_RGB32);
        desk.fill(QColor(0x5A, 0x6E, 0x8C));
        QPainter p(&desk);
        p.setClipRegion(shape.Region().translated(20, 20));
        p.drawPixmap(20, 20, w.grab());
        p.end();
        if (!desk.save(out.filePath(QString::fromLatin1(s.name)))) {
            std::fprintf(stderr, "cannot write %s\n", s.name);
            return 1;
        }
    }
    return 0;
}
