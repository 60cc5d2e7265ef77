#pragma once

#include <QSpinBox>

namespace qv {

// A spin box for a whole number in [minimum, maximum] (minimum >= 0) that
// takes every digit typed, up to as many as the maximum has, and brings the
// number into its range when the box is left or its text is read with
// interpretText(): 250 in a box of 0 to 100 becomes 100, never 25. An empty
// text stands for the minimum.
class NumberBox : public QSpinBox {
public:
    NumberBox(int minimum, int maximum, QWidget* parent);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

}  // namespace qv
