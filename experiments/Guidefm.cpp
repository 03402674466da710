// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Guidefm.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

TfmGuide::TfmGuide(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("fmGuide"));
    setWindowTitle(tr("Руководство пользователя"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    tbGuide = new QTextBrowser(this);
    tbGuide->setObjectName(QStringLiteral("tbGuide"));
    tbGuide->setOpenExternalLinks(true);  // the guide's own pages stay here, the rest go to the browser

    bbBack = new QPushButton(tr("← &Назад"), this);
    bbBack->setObjectName(QStringLiteral("bbBack"));
    bbForward = new QPushButton(tr("&Вперёд →"), this);
    bbForward->setObjectName(QStringLiteral("bbForward"));
    bbContents = new QPushButton(tr("&Содержание"), this);
    bbContents->setObjectName(QStringLiteral("bbContents"));
    auto* close = new QPushButton(tr("&Закрыть"), this);
    close->setObjectName(QStringLiteral("bbClose"));
    for (QPushButton* b : {bbBack, bbForward, bbContents, close}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bbBack);
    buttons->addWidget(bbForward);
    buttons->addWidget(bbContents);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tbGuide, 1);
    layout->addLayout(buttons);

    connect(bbBack, &QPushButton::clicked, tbGuide, &QTextBrowser::backward);
    connect(bbForward, &QPushButton::clicked, tbGuide, &QTextBrowser::forward);
    connect(bbContents, &QPushButton::clicked, this,
            [this] { tbGuide->setSource(GuideUrl(tGuideTopic::Contents)); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(tbGuide, &QTextBrowser::backwardAvailable, bbBack, &QPushButton::setEnabled);
    connect(tbGuide, &QTextBrowser::forwardAvailable, bbForward, &QPushButton::setEnabled);
    connect(tbGuide, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = tbGuide->documentTitle();
        setWindowTitle(title.isEmpty() ? tr("Руководство пользователя")
                                       : tr("Руководство пользователя — %1").arg(title));
    });
    bbBack->setEnabled(false);
    bbForward->setEnabled(false);

    connect(tbGuide, &QTextBrowser::sourceChanged, this, &TfmGuide::FitPictures);
    tbGuide->viewport()->installEventFilter(this);

    // Room for a page and its pictures, within the screen (a small one, or at 200 %).
    QSize size(fontMetrics().averageCharWidth() * 150, fontMetrics().height() * 42);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

bool TfmGuide::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tbGuide->viewport() && event->type() == QEvent::Resize) FitPictures();
    return QDialog::eventFilter(watched, event);
}

void TfmGuide::FitPictures() {
    // A picture wider than the page is shown at the page's width, so it never needs scrolling sideways.
    QTextDocument* document = tbGuide->document();
    const qreal room = std::max<qreal>(80, tbGuide->viewport()->width() - 2 * document->documentMargin() - 4);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            if (!image.isValid()) continue;
            const QVariant data = document->resource(QTextDocument::ImageResource, QUrl(image.name()));
            const QSize natural =
                data.canConvert<QImage>() ? data.value<QImage>().size() : data.value<QPixmap>().size();
            if (natural.isEmpty()) continue;
            const qreal width = std::min<qreal>(natural.width(), room);
            if (qFuzzyCompare(image.width(), width)) continue;
            image.setWidth(width);
            image.setHeight(natural.height() * width / natural.width());
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
}

void TfmGuide::ShowTopic(tGuideTopic topic) {
    tbGuide->setSource(GuideUrl(topic));
    show();
    raise();
    activateWindow();
}
