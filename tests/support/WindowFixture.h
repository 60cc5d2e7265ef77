#pragma once

// The fixture of the window suites: a temporary program folder, a fresh lock
// database on either kind (a data row tagged "postgres" runs on the test
// server), the data module `dm`, the test dialogs, the settings of a logged-on
// desk and the process-wide flags reset before and after each case.
//
//   void init() { QVERIFY(fx.setUp("qvtest_rooms")); }
//   void cleanup() { fx.tearDown(); }

#include "LockDatabase.h"
#include "TestSupport.h"
#include "data/Session.h"
#include "window/CardOperation.h"

#include "data/dm_unit.h"
#include "platform/Clock.h"
#include "platform/TestDialogs.h"
#include "settings/Settings.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QtTest>
#include <memory>

class WindowFixture {
public:
    std::unique_ptr<TempAppDir> app;
    std::unique_ptr<Tdm> data;
    std::unique_ptr<qv::TestDialogs> dialogs;

    // False, with the reason in `why`, when the database could not be made.
    bool setUp(const QString& pgDatabase, bool demo = true, QString* why = nullptr) {
        tearDown();
        app = std::make_unique<TempAppDir>();
        data = std::make_unique<Tdm>();
        dm = data.get();
        dialogs = std::make_unique<qv::TestDialogs>();
        LockSystemInfo = TLockSystemInfo();
        LockSystemInfo.Loaded = true;
        LockSystemInfo.DayCount = 1;
        LockSystemInfo.LeaveTime = QTime(12, 0);
        LockSystemInfo.TimeTolerance = 10;
        qv::session().login = QStringLiteral("desk1");
        qv::session().name = QStringLiteral("前台一");
        resetFlags();
        return openFreshLockDatabase(dm->conn, *app, pgDatabase, demo, why);
    }

    void tearDown() {
        dialogs.reset();
        if (data) {
            data.reset();
            dm = nullptr;
        }
        app.reset();
        qv::Clock::useSystemTime();
        resetFlags();
    }

    static void resetFlags() {
        RoomBoardChanged = false;
        qv::CardOperation::releaseLatch();
        EncoderType = 0;
        CheckInRight = false;
    }
};

// Fails the running case when the fixture could not be set up.
#define QV_SET_UP_WINDOW_FIXTURE(fx, pgDatabase)                           \
    do {                                                                   \
        QString why_;                                                      \
        QVERIFY2((fx).setUp((pgDatabase), true, &why_), qPrintable(why_)); \
    } while (0)

// Makes row `row` of `view` current and selected, as a click on it would.
inline void clickRow(QAbstractItemView* view, int row, int column = 0) {
    const QModelIndex index = view->model()->index(row, column);
    view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}
