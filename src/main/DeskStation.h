#pragma once

#include "interface/KeyStation.h"

#include <QObject>
#include <memory>

class QFrame;
class QLabel;
class QTimer;

// The desk as the encoder station of its own encoder: a desk set up with
// [Interface] Encoder=N writes the PMS's key requests queued for encoder N
// (through the key station and the stays service, as its own windows write),
// told of them by the desk's change feed. The request at hand and what the
// clerk is to do show in a bar above the room board ("PMS: 2 new keys for
// 1203, 张三 — place a blank card on the encoder"); while the station waits
// for the card the desk goes on painting and working.
class TDeskStation : public QObject {
    Q_OBJECT
public:
    // `bar` and `text` belong to the main window; the bar is shown only
    // while there is something to say.
    TDeskStation(const qv::KeyStation::Options& options, QFrame* bar, QLabel* text,
                 QObject* parent = nullptr);
    ~TDeskStation() override;

    // Serves every queued request of the encoder, one at a time; a call
    // while a request is served (from the wait's own event loop) only
    // notes that more may be queued. How many were served.
    int serve();
    bool serving() const { return serving_; }
    qv::KeyStation& station() { return *station_; }

    // What the bar says for a request taken and for its end.
    static QString requestText(const qv::pms::KeyRequest& request,
                               qv::KeyStation::CardWanted wanted);
    static QString answerText(const qv::pms::KeyRequest& request, const QString& status,
                              const QString& clearText);

private:
    bool waitForCard(qv::KeyStation::CardWanted wanted, const std::function<bool()>& stillWanted);
    void show(const QString& text);

    std::unique_ptr<qv::KeyStation> station_;
    qv::KeyStation::Options options_;
    QFrame* bar_;
    QLabel* text_;
    QTimer* hide_;
    qv::pms::KeyRequest current_;
    bool serving_ = false;
    bool again_ = false;
};
