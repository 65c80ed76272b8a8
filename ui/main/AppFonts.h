#pragma once
#include <QFont>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

namespace pyx {

// One of the ten fonts the window draws with. Qt fonts carry no rotation, so the angle of
// the text (tenths of a degree, counter-clockwise) travels beside the font for the painter.
struct AppFont {
    QFont font;
    int escapementTenths = 0;
    int orientationTenths = 0;
    bool created = false;
};

// The program's fonts: "Arial" and "DS-Digital" from the files beside the program when the
// system does not have them, then the ten fonts of the window.
class AppFonts {
public:
    struct PrivateFont {
        const char* face;
        const char* file;
    };
    static constexpr std::array<PrivateFont, 2> kPrivateFonts{{{"Arial", "Arial.ttf"}, {"DS-Digital", "DS-DIGI.ttf"}}};

    // Seams for tests: the families the system offers, and adding a font file (the families
    // it registers; empty on failure).
    using FamilyList = std::function<QStringList()>;
    using FileAdder = std::function<QStringList(const QString& path)>;

    AppFonts();
    AppFonts(FamilyList families, FileAdder addFile);

    // True when both faces are available and the ten fonts were made; false as soon as a file
    // cannot be added (the next one is then not tried and no font is made).
    bool RegisterFonts();

    const AppFont& Font(int index) const { return fonts_.at(static_cast<size_t>(index)); }
    // Files added by this object (for tests and diagnostics).
    const QStringList& AddedFiles() const { return added_; }

private:
    FamilyList families_;
    FileAdder addFile_;
    std::array<AppFont, 10> fonts_{};
    QStringList added_;
};

// Font index of fonts where it was made; fallback where it was not, or without fonts.
QFont FontOr(const AppFonts* fonts, int index, const QFont& fallback);

}  // namespace pyx
