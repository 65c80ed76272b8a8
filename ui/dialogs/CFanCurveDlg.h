#pragma once
#include <QDialog>
#include <QTimer>

#include <functional>
#include <optional>

#include "app/FanCurve.h"
#include "gpu/CardTuning.h"
#include "gpu/FanPath.h"

class CFanCurvePlot;
class QCheckBox;
class QPushButton;
class QTableWidget;

namespace pyx {

// What the fan of the GPU shown does now, as the editor draws it.
struct FanCurveNow {
    std::optional<int32_t> temperatureC;  // none: the temperature cannot be read
    std::optional<int32_t> level;         // in the curve's unit; none where it is not known in it
    bool automatic = false;               // the card's own control runs it
};

// What the fan curve editor works on.
struct FanCurveDlgContext {
    FanCurve curve;  // what the editor starts from
    FanUnit unit = FanUnit::Percent;
    // The levels a fixed level of the fan takes: the plot's level axis ends at the highest, and
    // OK refuses a point above it.
    FanLevelRange levels{0, 100};
    // Asked at the start and once a second while the editor is open; unset: nothing is drawn.
    std::function<FanCurveNow()> readNow;
    // How a refused curve is told, the editor staying open; unset: a message box of its own.
    std::function<void(QWidget* owner, const QString& text)> refuse;
};

// The fan curve editor: the points over the GPU's temperature, dragged with the mouse or typed
// into the table beside it, 2 to 8 of them; whether below the first point the card takes its
// fan back; the temperature and level the fan runs at now. OK takes only a curve the fan can
// run (FanCurveFault), else it says why and stays open; Cancel, Escape and the close box
// change nothing.
class CFanCurveDlg : public QDialog {
    Q_OBJECT

public:
    // The plot's distance from the window's left and top edges.
    static constexpr int kMarginPx = 12;

    explicit CFanCurveDlg(FanCurveDlgContext context, QWidget* owner = nullptr);

    // The curve as the editor holds it now.
    FanCurve Curve() const;

    CFanCurvePlot* Plot() const { return plot_; }
    QTableWidget* Table() const { return table_; }
    QCheckBox* AutoBelowBox() const { return autoBelow_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // OK: the curve checked, then taken or refused.
    void OnOk();
    // Reads what the fan does now onto the plot.
    void ReadNow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The table from the plot's points; the selected row follows the plot's selected point.
    void FillTable();
    void OnCellEdited(int row, int column);
    void OnAdd();
    void OnRemove();
    void UpdateButtons();
    int ChosenPoint() const;

    FanCurveDlgContext context_;
    QWidget* owner_;
    CFanCurvePlot* plot_ = nullptr;
    QTableWidget* table_ = nullptr;
    QCheckBox* autoBelow_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer second_;
    bool filling_ = false;
};

}  // namespace pyx
