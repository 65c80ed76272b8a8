#include "ui/dialogs/CHistoryDlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/controls/CHistoryPlot.h"
#include "ui/dialogs/DialogLook.h"

namespace pyx {

CHistoryDlg::CHistoryDlg(int gpuCount, int gpu, Source source, QWidget* owner, Clock now)
    : QWidget(owner, Qt::Window), source_(std::move(source)), now_(std::move(now)) {
    if (!now_) now_ = [] { return QDateTime::currentMSecsSinceEpoch(); };
    setWindowTitle(tr("Monitor"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    gpuBox_ = new QComboBox(this);
    for (int g = 0; g < gpuCount; ++g) gpuBox_->addItem(tr("GPU %1").arg(g), g);
    spanBox_ = new QComboBox(this);
    for (const int minutes : kSpanMinutes) spanBox_->addItem(tr("Last %1 min").arg(minutes), minutes);
    pause_ = new QPushButton(tr("&Pause"), this);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(tr("GPU:"), this));
    bar->addWidget(gpuBox_);
    bar->addSpacing(12);
    bar->addWidget(spanBox_);
    bar->addStretch(1);
    bar->addWidget(pause_);
    plot_ = new CHistoryPlot(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(plot_, 1);

    SelectGpu(gpu);
    connect(gpuBox_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(spanBox_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(pause_, &QPushButton::clicked, this, [this] { SetPaused(!paused_); });
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, [this] { Refresh(); });
    ApplyDialogLook(*this);
    resize(plot_->sizeHint() + QSize(24, 48));
    // The keyboard reaches the GPU first: Down and Up switch it, Tab leads on to the span.
    gpuBox_->setFocus();
}

void CHistoryDlg::SelectGpu(int gpu) {
    const int index = gpuBox_->findData(gpu);
    if (index >= 0) gpuBox_->setCurrentIndex(index);
}

int CHistoryDlg::Gpu() const { return gpuBox_->currentData().toInt(); }

int64_t CHistoryDlg::SpanMs() const { return static_cast<int64_t>(spanBox_->currentData().toInt()) * 60 * 1000; }

void CHistoryDlg::Refresh() {
    if (paused_ || !source_) return;
    const int64_t nowMs = now_();
    plot_->SetSamples(source_(nowMs - SpanMs(), Gpu()), nowMs, SpanMs());
}

void CHistoryDlg::SetPaused(bool paused) {
    paused_ = paused;
    pause_->setText(paused ? tr("&Resume") : tr("&Pause"));
    // Paused, the graphs hold still where the user is reading them; resumed, they catch up at once.
    if (paused)
        timer_.stop();
    else if (isVisible())
        timer_.start();
    Refresh();
}

void CHistoryDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
    if (!paused_) timer_.start();
}

void CHistoryDlg::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

}  // namespace pyx
