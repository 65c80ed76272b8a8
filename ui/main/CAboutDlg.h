#pragma once
#include <QDialog>
#include <QPixmap>

class QLabel;

namespace pyx {

// The About box: the program's icon, name and version, and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr char kVersion[] = "2.0.0.2";

    explicit CAboutDlg(const QPixmap& icon, QWidget* parent = nullptr);

    QString NameText() const;
    QString VersionText() const;
    // A line under the version naming where the program keeps its settings files.
    void SetSettingsFolder(const QString& folder);

private:
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* settings_ = nullptr;
};

}  // namespace pyx
