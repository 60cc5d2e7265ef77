#include "main/Help_Unit.h"

#include "platform/Named.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THelp_Form::THelp_Form(const QString& path, QWidget* parent)
    : qv::Form(QStringLiteral("Help_Form"), QStringLiteral("帮助"), parent), path_(path) {
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);

    Help_Browser = qv::make<QTextBrowser>(QStringLiteral("Help_Browser"), this);
    Help_Browser->setOpenExternalLinks(true);            // web links go to the desktop
    Help_Browser->setSource(QUrl::fromLocalFile(path));  // links between documents stay here
    Close_Bt = qv::make<QPushButton>(QStringLiteral("Close_Bt"), QStringLiteral("关闭(&C)"), this);
    Close_Bt->setAutoDefault(false);
    connect(Close_Bt, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Close_Bt);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Help_Browser, 1);
    layout->addLayout(buttons);

    resize(860, 640);
    FormCreate();
    const QString title = Help_Browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QFileInfo(path).fileName() : title);
    Help_Browser->setFocus();
}

THelp_Form* THelp_Form::showDocument(const QString& path, QWidget* parent) {
    for (THelp_Form* open :
         parent->findChildren<THelp_Form*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (open->path() == path) {
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    auto* help = new THelp_Form(path, parent);
    help->setAttribute(Qt::WA_DeleteOnClose);
    help->show();
    return help;
}
