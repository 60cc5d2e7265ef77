#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <vector>

class QLabel;

namespace qv {

// One press of a card button, from the latch to the buttons coming back.
//
//     qv::CardOperation op(this);
//     if (!op.started()) {
//         return;  // another card operation is under way
//     }
//     op.begin({Encode_Bt});  // off, and the window painted before the encoder call
//     ... the card call and its prompt ...
//     // on leaving (also by an exception) the buttons come back after the pause
//
// The desk has one card latch. An operation takes it when it starts and does
// not give it back: the main window's timer frees it every 500 ms
// (releaseLatch), so a second press within that tick is ignored whichever
// card window it comes from.
class CardOperation {
public:
    static constexpr int kResumePauseMs = 500;

    // Takes the latch when it is free; started() is false when another card
    // operation holds it, and the object then does nothing at all.
    explicit CardOperation(QWidget* window);
    ~CardOperation();
    CardOperation(const CardOperation&) = delete;
    CardOperation& operator=(const CardOperation&) = delete;

    bool started() const { return started_; }

    // Turns `buttons` off and paints the window, so that the window shows
    // them off while the encoder call blocks. Input is not handled meanwhile.
    void begin(std::initializer_list<QWidget*> buttons);
    // What comes back when the operation ends: by default the buttons of
    // begin() are turned on again after kResumePauseMs.
    void resumeWith(std::function<void()> resume, int pauseMs = kResumePauseMs);
    // The operation ends without the pause (the buttons come back at once)
    // or, with false, with it again.
    void resumeAtOnce(bool atOnce = true) { atOnce_ = atOnce; }
    // The window brings its buttons back itself: nothing happens at the end.
    void noResume() { resume_ = {}; }
    // Lets pending messages run (painting) also when the operation ends.
    void paintAtEnd() { paintAtEnd_ = true; }

    // Whether a card operation holds the latch.
    static bool busy();
    // The main window's timer tick: the next card operation may start.
    static void releaseLatch();
    // Paints pending changes without handling input.
    static void paint();

    // The prompt of a card window (component Prompt_Label): the results of
    // its card operations, centred, bold and larger, in dark blue, two lines high.
    static QLabel* makePrompt(QWidget* parent);

private:
    QPointer<QWidget> window_;
    bool started_ = false;
    bool atOnce_ = false;
    bool paintAtEnd_ = false;
    int pauseMs_ = kResumePauseMs;
    std::function<void()> resume_;
};

}  // namespace qv
