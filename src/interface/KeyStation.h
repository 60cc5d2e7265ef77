#pragma once

#include "interface/KeyRequests.h"

#include <QObject>
#include <functional>

namespace qv {

// The station of one encoder: takes the queued key requests of that encoder
// one at a time (under the queue's conditional take, so a request the
// service gave up on is never written), writes the cards through the stays
// service as the desk's own windows do, with the PMS operator as the
// operator, and stores the answer. Uses the data module's connection. No
// widgets: a desk's station bar or the headless station program drive it.
class KeyStation : public QObject {
    Q_OBJECT
public:
    struct Options {
        int encoder = 1;
        int cardWaitMs = 30000;  // how long to wait for a card to be placed
        int pollMs = 250;        // how often the encoder is asked meanwhile
    };
    // The card wanted on the encoder before each write.
    enum class CardWanted { Blank, Guest };
    // Waits until the wanted card is on the encoder; `stillWanted` turns
    // false when the request was given up meanwhile. True when the card is
    // there. The default asks the encoder every pollMs for cardWaitMs.
    using CardWait =
        std::function<bool(int index, CardWanted wanted, const std::function<bool()>& stillWanted)>;

    explicit KeyStation(const Options& options, QObject* parent = nullptr);

    void setCardWait(CardWait wait) { cardWait_ = std::move(wait); }
    int encoder() const { return options_.encoder; }

    // Serves the oldest queued request of the encoder; false when there was none.
    bool serveNext();
    // Serves requests until none is queued; how many.
    int serveAll();

signals:
    // A request taken, for a bar that shows it ("2 new keys for 1203 ...").
    void started(const qv::pms::KeyRequest& request);
    // The request's answer is stored (AS, CT).
    void finished(const qv::pms::KeyRequest& request, const QString& status,
                  const QString& clearText);

private:
    bool defaultWait(CardWanted wanted, const std::function<bool()>& stillWanted) const;

    Options options_;
    CardWait cardWait_;
};

}  // namespace qv
