#include "window/CardOperation.h"

#include "platform/Named.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QTimer>

namespace qv {

namespace {
// The desk's card latch: set while a card operation may not start.
bool CardBusy = false;
}  // namespace

CardOperation::CardOperation(QWidget* window) : window_(window) {
    if (CardBusy) {
        return;
    }
    CardBusy = true;
    started_ = true;
}

CardOperation::~CardOperation() {
    if (!started_) {
        return;
    }
    if (paintAtEnd_) {
        paint();
    }
    if (!resume_) {
        return;
    }
    if (atOnce_) {
        resume_();
    } else if (window_) {
        QTimer::singleShot(pauseMs_, window_.data(), resume_);
    }
}

void CardOperation::begin(std::initializer_list<QWidget*> buttons) {
    std::vector<QPointer<QWidget>> kept;
    for (QWidget* b : buttons) {
        b->setEnabled(false);
        kept.emplace_back(b);
    }
    if (!kept.empty()) {
        resume_ = [kept] {
            for (const QPointer<QWidget>& b : kept) {
                if (b) {
                    b->setEnabled(true);
                }
            }
        };
    }
    paint();
}

void CardOperation::resumeWith(std::function<void()> resume, int pauseMs) {
    resume_ = std::move(resume);
    pauseMs_ = pauseMs;
}

bool CardOperation::busy() {
    return CardBusy;
}

void CardOperation::releaseLatch() {
    CardBusy = false;
}

void CardOperation::paint() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QLabel* CardOperation::makePrompt(QWidget* parent) {
    auto* prompt = qv::make<QLabel>(QStringLiteral("Prompt_Label"), QString(), parent);
    prompt->setAlignment(Qt::AlignCenter);
    prompt->setMinimumHeight(prompt->fontMetrics().height() * 2);
    QFont font = prompt->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    prompt->setFont(font);
    prompt->setStyleSheet(QStringLiteral("color: #000080;"));
    return prompt;
}

}  // namespace qv
