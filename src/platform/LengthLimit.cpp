#include "platform/LengthLimit.h"

#include "platform/Text.h"

#include <QLineEdit>
#include <QPointer>
#include <QValidator>
#include <algorithm>

namespace qv {
namespace {

class CharacterLimit final : public QValidator {
public:
    CharacterLimit(int limit, const QValidator* inner, QObject* parent)
        : QValidator(parent), limit_(limit), inner_(inner) {}

    State validate(QString& input, int& pos) const override {
        qsizetype excess = characterCount(input) - limit_;
        if (excess > 0) {
            // What was typed or pasted last ends at the cursor: it gives way first.
            qsizetype cut = std::clamp<qsizetype>(pos, 0, input.size());
            const qsizetype end = cut;
            for (; excess > 0 && cut > 0; --excess) {
                cut -=
                    cut >= 2 && input[cut - 1].isLowSurrogate() && input[cut - 2].isHighSurrogate()
                        ? 2
                        : 1;
            }
            input.remove(cut, end - cut);
            pos = static_cast<int>(cut);
            if (excess > 0) {
                input = leftCharacters(input, limit_);
                pos = std::min(pos, static_cast<int>(input.size()));
            }
        }
        return inner_ ? inner_->validate(input, pos) : Acceptable;
    }

    void fixup(QString& input) const override {
        if (inner_) {
            inner_->fixup(input);
        }
    }

    const QValidator* inner() const { return inner_; }

private:
    int limit_;
    QPointer<const QValidator> inner_;
};

}  // namespace

void limitCharacters(QLineEdit* edit, int characters) {
    const QValidator* inner = edit->validator();
    if (const auto* old = dynamic_cast<const CharacterLimit*>(inner)) {
        inner = old->inner();  // a new limit replaces the old one
    }
    // The box's own limit counts UTF-16 units and could split a character.
    edit->setMaxLength(32767);
    edit->setValidator(new CharacterLimit(characters, inner, edit));
}

}  // namespace qv
