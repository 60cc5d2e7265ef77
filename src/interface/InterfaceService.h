#pragma once

#include "interface/KeyIntake.h"
#include "interface/Link.h"

#include <QHash>
#include <QObject>
#include <QTimer>

namespace qv {

class Connection;

// The key interface service: keeps the PMS link, enters each key record in
// the key request queue (or answers it at once), and answers KA when the
// request's row says it ended or when its time ran out before a station took
// it. It never touches an encoder. When the link dies, its unfinished
// requests are given up, so no card is written for a PMS that is gone.
class InterfaceService : public QObject {
    Q_OBJECT
public:
    InterfaceService(Connection& conn, const pms::LinkOptions& link, const pms::IntakeRules& rules,
                     QObject* parent = nullptr);
    ~InterfaceService() override;

    // Opens the link (listens or connects); false with the reason in errorString().
    bool start();
    void stop();
    QString errorString() const { return link_.errorString(); }
    pms::Link& link() { return link_; }
    // The requests of this link not answered yet.
    int pending() const { return int(pending_.size()); }

    // Looks at the pending requests: those that ended are answered, those
    // queued past their time are given up and answered. Run on every change
    // of the key requests and on a timer.
    void checkRequests();

signals:
    void answered(qint64 requestId, const qv::pms::Record& answer);

private:
    void onRecord(const pms::Record& record);
    void onLost(const QString& linkId);

    Connection& conn_;
    pms::Link link_;
    pms::IntakeRules rules_;
    QHash<qint64, QString> pending_;  // request -> the link it came from
    QTimer deadlines_;
};

}  // namespace qv
