#pragma once

#include <functional>

class QKeyEvent;
class QWidget;
class TLanguage;

// The texts of the capture mode's question and input box: fixed ones, or the
// window's message lines 13 (question) and 14 (input box), each as both the
// caption and the text.
enum class CaptureTexts { Fixed, FromVariable };

// The capture mode's key: Ctrl+Shift+F12, which every desktop passes to the
// program, or Ctrl+Alt+F12 where the keyboard delivers it (the standard X
// keyboard map turns it into the switch to console 12, which the X server
// keeps or hands on as that key sym).
bool isCaptureModeKey(const QKeyEvent* event);

// The shared part of every window's FormKeyDown: the capture-mode key enters
// the capture mode. After a warning question (OK/Cancel) an input box asks for the
// access code; the right code captures the window's texts into the language
// store. Returns true when the key was handled. Store errors are thrown
// (qv::DbError) for the window's handler guard to show.
// Called after the capture mode captured a window's texts (the window base
// writes it to the operations log).
void setCaptureObserver(std::function<void(QWidget* form)> observer);

bool CaptureModeKeyDown(QWidget* form, TLanguage* language, QKeyEvent* event,
                        CaptureTexts texts = CaptureTexts::Fixed);
