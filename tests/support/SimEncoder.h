#pragma once

// The encoder simulator behind the real binding, for one test: its state
// folder in a temporary program folder, the library loaded from the build
// tree. Suites that use it call qv_use_encoder_sim(<target>) in CMake.

#include "TestSupport.h"
#include "card/CardData.h"
#include "card/Encoder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <memory>

class SimEncoder {
public:
    // State folder `folder` below `app`'s program folder.
    explicit SimEncoder(const TempAppDir& app,
                        const QString& folder = QStringLiteral("encoder-state")) {
        start(app.file(folder));
    }
    // A program folder of its own.
    SimEncoder() : own_(std::make_unique<TempAppDir>()) {
        start(own_->file(QStringLiteral("encoder-state")));
    }
    ~SimEncoder() {
        qv::Encoder::instance().reset();
        qunsetenv("QUORVANE_ENCODER_DIR");
    }
    SimEncoder(const SimEncoder&) = delete;
    SimEncoder& operator=(const SimEncoder&) = delete;

    bool loaded() const { return loaded_; }
    const TempAppDir& app() const { return *own_; }
    QString stateDir() const { return stateDir_; }
    QString stateFile(const QString& name) const { return stateDir_ + '/' + name; }

    // Runs quorvane-encoder on this state folder; its exit code.
    int tool(const QStringList& args, QString* out = nullptr, QString* err = nullptr) const {
        QProcess p;
        p.start(QStringLiteral(QV_ENCODER_TOOL), QStringList{"--dir", stateDir_} + args);
        if (!p.waitForFinished(30000)) {
            return -1000;
        }
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1001;
    }
    // The same for a command written as one line ("place blank"); true on success.
    bool command(const QString& line) const {
        return tool(line.split(' ', Qt::SkipEmptyParts)) == 0;
    }

    void writeState(const QString& name, const QByteArray& text) const {
        QDir().mkpath(stateDir_);
        QFile f(stateFile(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // The card on the encoder, read back through the binding.
    TCardData card(int16_t* code = nullptr) const {
        TCardData c{};
        const int16_t r = qv::Encoder::instance().readCard(c);
        if (code)
            *code = r;
        return c;
    }

private:
    void start(const QString& stateDir) {
        stateDir_ = stateDir;
        qputenv("QUORVANE_ENCODER_DIR", QFile::encodeName(stateDir_));
        qv::Encoder::instance().reset();
        loaded_ = qv::Encoder::instance().load(QStringLiteral(QV_ENCODER_LIB));
    }

    std::unique_ptr<TempAppDir> own_;
    QString stateDir_;
    bool loaded_ = false;
};
