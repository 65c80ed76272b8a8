#include "ui/main/AppFonts.h"

#include <QDir>
#include <QFontDatabase>

namespace pyx {

namespace {

struct FontSpec {
    const char* face;
    int height;
    int weight;
    int escapement;
    int orientation;
    bool proofQuality;
};

constexpr FontSpec kFontTable[10] = {
    {"Arial", 30, 0, 0, 0, true},         {"DS-Digital", 30, 0, 0, 0, true},
    {"DS-Digital", 18, 0, 0, 0, true},    {"DS-Digital", 18, 0, -100, 900, true},
    {"Arial", 12, 700, 100, 900, true},   {"Arial", 12, 0, -90, 900, true},
    {"Arial", 12, 0, 60, 900, true},      {"DS-Digital", 90, 0, 0, 0, true},
    {"DS-Digital", 50, 0, 0, 0, true},    {"Arial", 14, 0, 0, 0, false},
};

QStringList SystemFamilies() { return QFontDatabase::families(); }

QStringList AddFontFile(const QString& path) {
    const int id = QFontDatabase::addApplicationFont(path);
    return id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
}

}  // namespace

AppFonts::AppFonts() : AppFonts(SystemFamilies, AddFontFile) {}

AppFonts::AppFonts(FamilyList families, FileAdder addFile)
    : families_(std::move(families)), addFile_(std::move(addFile)) {}

bool AppFonts::RegisterFonts() {
    const QStringList installed = families_();
    for (const PrivateFont& font : kPrivateFonts) {
        // Only a family of exactly this name counts as installed.
        if (installed.contains(QString::fromLatin1(font.face), Qt::CaseSensitive)) continue;
        const QString path = QDir::current().filePath(QString::fromLatin1(font.file));
        const QStringList registered = addFile_(path);
        if (registered.isEmpty()) return false;
        added_ << path;
        // The shipped files are free look-alikes with family names of their own; the
        // window keeps asking for the names it was designed with.
        if (!registered.contains(QString::fromLatin1(font.face)))
            QFont::insertSubstitution(QString::fromLatin1(font.face), registered.first());
    }
    for (size_t i = 0; i < fonts_.size(); ++i) {
        const FontSpec& row = kFontTable[i];
        QFont font(QString::fromLatin1(row.face));
        font.setPixelSize(row.height);
        // Weight 0 is the face's default; 700 is bold.
        if (row.weight != 0) font.setWeight(row.weight >= 700 ? QFont::Bold : QFont::Normal);
        font.setStyleStrategy(row.proofQuality ? QFont::PreferQuality : QFont::PreferDefault);
        fonts_[i] = {font, row.escapement, row.orientation, true};
    }
    return true;
}

QFont FontOr(const AppFonts* fonts, int index, const QFont& fallback) {
    if (fonts == nullptr) return fallback;
    const AppFont& f = fonts->Font(index);
    return f.created ? f.font : fallback;
}

}  // namespace pyx
