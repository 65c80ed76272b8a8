#include "ui/dialogs/CFanCurveDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/controls/CFanCurvePlot.h"
#include "ui/dialogs/CMessageBox.h"
#include "ui/dialogs/DialogLook.h"

namespace pyx {

namespace {

QString UnitText(FanUnit unit) { return unit == FanUnit::Rpm ? QStringLiteral("RPM") : QStringLiteral("%"); }

QVector<FanCurvePlotPoint> PlotPoints(const FanCurve& curve) {
    QVector<FanCurvePlotPoint> points;
    for (const FanCurvePoint& p : curve.points) points.push_back({p.temperatureC, p.level});
    return points;
}

}  // namespace

CFanCurveDlg::CFanCurveDlg(FanCurveDlgContext context, QWidget* owner)
    : QDialog(owner), context_(std::move(context)), owner_(owner) {
    setWindowTitle(tr("Fan curve"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    plot_ = new CFanCurvePlot(this);
    plot_->setObjectName(QStringLiteral("fanCurvePlot"));
    // Whole pixels for each step a drag takes: 5 a degree across 20..100 C, 2 a hundredth of
    // the level axis.
    plot_->setFixedSize(CFanCurvePlot::kLeftPx + 401 + CFanCurvePlot::kRightPx,
                        CFanCurvePlot::kTopPx + 201 + CFanCurvePlot::kBottomPx);
    plot_->SetLevelAxis(std::max(context_.levels.max, 1), UnitText(context_.unit));
    plot_->SetTemperatureLimits(kFanCurveLowestC, kFanCurveHighestC);
    plot_->SetPoints(PlotPoints(context_.curve));
    plot_->SetAutoBelow(context_.curve.autoBelow);

    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName(QStringLiteral("fanCurveTable"));
    table_->setHorizontalHeaderLabels({tr("Temperature (°C)"), tr("Fan (%1)").arg(UnitText(context_.unit))});
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setFixedWidth(280);

    add_ = new QPushButton(tr("Add point"), this);
    remove_ = new QPushButton(tr("Remove point"), this);
    autoBelow_ = new QCheckBox(tr("Below the first point: hand the fan back to the card's control"), this);
    autoBelow_->setChecked(context_.curve.autoBelow);
    ok_ = new QPushButton(tr("OK"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    ok_->setDefault(true);
    cancel_->setAutoDefault(false);
    add_->setAutoDefault(false);
    remove_->setAutoDefault(false);

    auto* pointButtons = new QVBoxLayout;
    pointButtons->addWidget(add_);
    pointButtons->addWidget(remove_);
    pointButtons->addStretch();
    auto* editing = new QHBoxLayout;
    editing->addWidget(table_);
    editing->addLayout(pointButtons);
    editing->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Fixed, whatever the style's: the plot's points then lie at known places in the window,
    // where a script under a virtual display drags them.
    layout->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
    layout->addWidget(plot_);
    layout->addLayout(editing);
    layout->addWidget(autoBelow_);
    layout->addLayout(buttons);

    FillTable();
    connect(plot_, &CFanCurvePlot::pointDragged, this, [this] { FillTable(); });
    connect(plot_, &CFanCurvePlot::pointSelected, this, [this](int index) { table_->selectRow(index); });
    connect(table_, &QTableWidget::cellChanged, this, [this](int row, int column) { OnCellEdited(row, column); });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!filling_) plot_->SelectPoint(row);
    });
    connect(autoBelow_, &QCheckBox::toggled, plot_, &CFanCurvePlot::SetAutoBelow);
    connect(add_, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(remove_, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(ok_, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&second_, &QTimer::timeout, this, [this] { ReadNow(); });
    if (context_.readNow) {
        ReadNow();
        second_.start(1000);
    }
    ApplyDialogLook(*this);
}

FanCurve CFanCurveDlg::Curve() const {
    FanCurve curve;
    for (const FanCurvePlotPoint& p : plot_->Points()) curve.points.push_back({p.temperatureC, p.level});
    curve.autoBelow = autoBelow_->isChecked();
    return curve;
}

void CFanCurveDlg::FillTable() {
    filling_ = true;
    const QVector<FanCurvePlotPoint>& points = plot_->Points();
    table_->setRowCount(static_cast<int>(points.size()));
    for (int row = 0; row < points.size(); ++row) {
        const int values[2] = {points[row].temperatureC, points[row].level};
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem* item = table_->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(row, column, item);
            }
            // A number, so that the cell is edited in a spin box that takes digits only.
            item->setData(Qt::EditRole, values[column]);
        }
    }
    if (plot_->SelectedPoint() >= 0) table_->selectRow(plot_->SelectedPoint());
    filling_ = false;
    UpdateButtons();
}

void CFanCurveDlg::OnCellEdited(int row, int column) {
    if (filling_) return;
    QVector<FanCurvePlotPoint> points = plot_->Points();
    if (row < 0 || row >= points.size()) return;
    const int value = table_->item(row, column)->data(Qt::EditRole).toInt();
    // Typed as the user means it: a point out of order, or above the fan's range, is left for
    // OK to refuse with the reason, rather than silently moved.
    (column == 0 ? points[row].temperatureC : points[row].level) = value;
    plot_->SetPoints(points);
}

int CFanCurveDlg::ChosenPoint() const {
    const int selected = plot_->SelectedPoint();
    return selected >= 0 ? selected : static_cast<int>(plot_->Points().size()) - 1;
}

void CFanCurveDlg::OnAdd() {
    QVector<FanCurvePlotPoint> points = plot_->Points();
    if (points.size() >= static_cast<int>(kMaxFanCurvePoints) || points.isEmpty()) return;
    const int after = ChosenPoint();
    int at = -1;
    FanCurvePlotPoint added;
    // Halfway to the next point where there is a degree between them; else past the last one,
    // else before the first one.
    if (after + 1 < points.size() && points[after + 1].temperatureC - points[after].temperatureC >= 2) {
        at = after + 1;
        added = {(points[after].temperatureC + points[after + 1].temperatureC) / 2,
                 (points[after].level + points[after + 1].level) / 2};
    } else if (points.back().temperatureC < kFanCurveHighestC) {
        at = static_cast<int>(points.size());
        added = {std::min(points.back().temperatureC + 10, kFanCurveHighestC), points.back().level};
    } else if (points.front().temperatureC > kFanCurveLowestC) {
        at = 0;
        added = {std::max(points.front().temperatureC - 10, kFanCurveLowestC), points.front().level};
    }
    if (at < 0) return;
    points.insert(at, added);
    plot_->SetPoints(points);
    plot_->SelectPoint(at);
    FillTable();
}

void CFanCurveDlg::OnRemove() {
    QVector<FanCurvePlotPoint> points = plot_->Points();
    if (points.size() <= static_cast<int>(kMinFanCurvePoints)) return;
    const int removed = ChosenPoint();
    points.remove(removed);
    plot_->SetPoints(points);
    plot_->SelectPoint(std::min(removed, static_cast<int>(points.size()) - 1));
    FillTable();
}

void CFanCurveDlg::UpdateButtons() {
    const auto count = static_cast<size_t>(plot_->Points().size());
    add_->setEnabled(count < kMaxFanCurvePoints);
    remove_->setEnabled(count > kMinFanCurvePoints);
}

void CFanCurveDlg::OnOk() {
    const std::optional<std::string> fault = FanCurveFault(Curve(), context_.levels, context_.unit);
    if (!fault) {
        accept();
        return;
    }
    const QString text = tr("This fan curve cannot be used: %1.").arg(QString::fromStdString(*fault));
    if (context_.refuse)
        context_.refuse(this, text);
    else
        CMessageBox::Warn(this, text, windowTitle());
}

void CFanCurveDlg::ReadNow() {
    if (!context_.readNow) return;
    const FanCurveNow now = context_.readNow();
    plot_->SetLive(now.temperatureC, now.level, now.automatic);
}

void CFanCurveDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnOwner(*this, owner_);
}

}  // namespace pyx
