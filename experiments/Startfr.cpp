// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Startfr.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>

#include "components/Contrast.h"
#include "experiments/Experiment.h"
#include "experiments/Icons.h"
#include "foundation/Functions.h"

namespace {

// ---- a tile: a picture, a title and a line of detail, all of it shown whatever the width ----

class TStartTile : public QAbstractButton {
  public:
    TStartTile(const QIcon& icon, const QString& title, const QString& detail, QWidget* parent = nullptr)
        : QAbstractButton(parent), FDetail(detail) {
        setIcon(icon);
        setText(title);
        setAccessibleName(title);
        setAccessibleDescription(detail);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        // As high as the row it stands in, so the tiles of a row line up.
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    QString Detail() const { return FDetail; }

    // The width a tile wants: room for a name of three or four words on a line.
    int PreferredWidth() const { return fontMetrics().averageCharWidth() * 36; }
    QSize sizeHint() const override { return QSize(PreferredWidth(), heightForWidth(PreferredWidth())); }
    QSize minimumSizeHint() const override {
        const int w = fontMetrics().averageCharWidth() * 14;
        return QSize(w, heightForWidth(w));
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const tGeometry g = Geometry(width);
        return std::max(g.Icon.bottom(), g.DetailRect.bottom()) + Padding() + 1;
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const bool hot = underMouse() || hasFocus();
        QColor fill = pal.color(QPalette::Base);
        if (isDown())
            fill = pal.color(QPalette::Highlight).lighter(170);
        else if (hot)
            fill = pal.color(QPalette::Highlight).lighter(190);
        p.setPen(QPen(hot ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid), hasFocus() ? 2 : 1));
        p.setBrush(fill);
        const qreal inset = hasFocus() ? 1 : 0.5;
        p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), Padding() / 2.0,
                          Padding() / 2.0);

        const tGeometry g = Geometry(width());
        icon().paint(&p, g.Icon);
        p.setPen(pal.color(QPalette::Text));
        p.setFont(TitleFont());
        p.drawText(g.TitleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text());
        if (!FDetail.isEmpty()) {
            // The style's placeholder grey is half-transparent text, 4:1 on white: darkened to 4.5:1.
            p.setPen(ReadableColour(ShownOver(pal.color(QPalette::PlaceholderText), fill), fill));
            p.setFont(font());
            p.drawText(g.DetailRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, FDetail);
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        // Enter chooses as a click does (QAbstractButton itself knows only Space).
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }

  private:
    struct tGeometry {
        QRect Icon;
        QRect TitleRect;
        QRect DetailRect;
    };

    int Padding() const { return fontMetrics().height() / 2 + 2; }
    int IconSide() const { return fontMetrics().height() * 2; }
    QFont TitleFont() const {
        QFont f = font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.1);
        return f;
    }

    // Where the parts go in a tile `width` wide; the texts wrap to what is left beside the picture.
    tGeometry Geometry(int width) const {
        const int pad = Padding();
        const int side = IconSide();
        const int left = pad + side + pad;
        const int textWidth = std::max(1, width - left - pad);
        tGeometry g;
        g.Icon = QRect(pad, pad, side, side);
        const QRect title =
            QFontMetrics(TitleFont()).boundingRect(QRect(0, 0, textWidth, 1 << 20), Qt::TextWordWrap, text());
        g.TitleRect = QRect(left, pad, textWidth, title.height());
        const QRect detail = FDetail.isEmpty() ? QRect(0, 0, textWidth, 0)
                                               : fontMetrics().boundingRect(QRect(0, 0, textWidth, 1 << 20),
                                                                            Qt::TextWordWrap, FDetail);
        g.DetailRect = QRect(left, g.TitleRect.bottom() + 1 + pad / 3, textWidth, detail.height());
        return g;
    }

    QString FDetail;
};

// ---- tiles in rows: as many equal columns as the width holds, each row as high as its tallest ----

class tFlowLayout : public QLayout {
  public:
    explicit tFlowLayout(QWidget* parent = nullptr) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }
    ~tFlowLayout() override {
        while (QLayoutItem* item = takeAt(0)) delete item;
    }

    void addItem(QLayoutItem* item) override { FItems << item; }
    int count() const override { return int(FItems.size()); }
    QLayoutItem* itemAt(int index) const override { return FItems.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < FItems.size() ? FItems.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        Arrange(rect, true);
    }
    QSize sizeHint() const override {
        int w = 0;
        for (QLayoutItem* item : FItems) w = std::max(w, item->sizeHint().width());
        return QSize(w, heightForWidth(w));
    }
    QSize minimumSize() const override {
        int w = 0;
        for (QLayoutItem* item : FItems) w = std::max(w, item->minimumSize().width());
        return QSize(w, heightForWidth(w));
    }

  private:
    int Spacing() const { return spacing() >= 0 ? spacing() : 8; }

    // Places the items (when `apply`) and returns the height they take.
    int Arrange(const QRect& rect, bool apply) const {
        if (FItems.isEmpty()) return 0;
        int preferred = 1;
        for (QLayoutItem* item : FItems) preferred = std::max(preferred, item->sizeHint().width());
        const int gap = Spacing();
        const int columns = std::max(1, (rect.width() + gap) / (preferred + gap));
        const int width = std::max(1, (rect.width() - (columns - 1) * gap) / columns);
        int y = rect.y();
        for (qsizetype first = 0; first < FItems.size(); first += columns) {
            const qsizetype last = std::min<qsizetype>(FItems.size(), first + columns);
            int rowHeight = 0;
            for (qsizetype i = first; i < last; ++i)
                rowHeight = std::max(rowHeight, FItems[i]->heightForWidth(width));
            for (qsizetype i = first; apply && i < last; ++i)
                FItems[i]->setGeometry(QRect(rect.x() + int(i - first) * (width + gap), y, width, rowHeight));
            y += rowHeight + gap;
        }
        return y - gap - rect.y();
    }

    QList<QLayoutItem*> FItems;
};

QLabel* Heading(const QString& text, qreal scale, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * scale);
    label->setFont(f);
    label->setWordWrap(true);
    return label;
}

QLabel* Paragraph(const QString& text, QWidget* parent = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// What a scenario tile says under its name: where it lies below its group and which sensor it needs.
QString ScenarioDetail(const tCatalogueEntry& group, const tCatalogueEntry& scenario) {
    QStringList parts;
    // Sub-groups between the group and the scenario, e.g. "Ещё / Глубже".
    const QStringList below = scenario.Relative.mid(group.Relative.size()).split(u'/', Qt::SkipEmptyParts);
    if (below.size() > 1) parts << below.mid(0, below.size() - 1).join(QStringLiteral(" / "));
    QByteArray bytes;
    QString error;
    if (ReadBoundedFile(scenario.Folder() + QStringLiteral("experiment.txt"), ParameterFileLimit, bytes,
                        error) == tFileRead::Ok) {
        tExperiment record;
        ParseExperiment(bytes, record, error);
        if (record.SensorName.compare(QStringLiteral("NO"), Qt::CaseInsensitive) == 0)
            parts << QCoreApplication::translate("TfrStart", "без датчика");
        else if (!record.SensorName.isEmpty())
            parts << QCoreApplication::translate("TfrStart", "датчик %1").arg(record.SensorName);
    }
    return parts.join(QStringLiteral(" · "));
}

struct tStep {
    QIcon Picture;
    QString Title;
    QString Text;
};

QWidget* Steps(QWidget* parent) {
    const tStep steps[] = {
        {experimenticons::StepChoose(), QCoreApplication::translate("TfrStart", "1. Выберите опыт"),
         QCoreApplication::translate(
             "TfrStart",
             "Подключите датчик к компьютеру и нажмите на карточку опыта. Программа сама найдёт "
             "датчик, который нужен опыту.")},
        {experimenticons::StepMeasure(), QCoreApplication::translate("TfrStart", "2. Измеряйте"),
         QCoreApplication::translate("TfrStart",
                                     "«Пуск» (F5) начинает измерение, «Стоп» (Shift+F5) заканчивает его. "
                                     "«Отметить точку» (Ctrl+M) подписывает точку графика.")},
        {experimenticons::StepSave(), QCoreApplication::translate("TfrStart", "3. Сохраните урок"),
         QCoreApplication::translate(
             "TfrStart",
             "«Файл → Сохранить урок» (Ctrl+S) кладёт в один файл все опыты, подписи, описание и "
             "отчёт. Отчёт можно напечатать.")},
    };
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    const int side = box->fontMetrics().height() * 4;
    for (const tStep& step : steps) {
        auto* row = new QHBoxLayout;
        auto* picture = new QLabel(box);
        picture->setObjectName(QStringLiteral("lbStepPicture"));
        picture->setFixedSize(side, side);
        picture->setPixmap(step.Picture.pixmap(QSize(side, side), box->devicePixelRatioF()));
        row->addWidget(picture, 0, Qt::AlignTop);
        auto* words = new QVBoxLayout;
        words->addWidget(Heading(step.Title, 1.05, box));
        words->addWidget(Paragraph(step.Text, box));
        words->addStretch(1);
        row->addLayout(words, 1);
        layout->addLayout(row);
    }
    return box;
}

}  // namespace

TfrStart::TfrStart(QWidget* owner) : QWidget(owner) {
    setObjectName(QStringLiteral("frStart"));
    qRegisterMetaType<tCatalogueEntry>();

    FScroll = new QScrollArea(this);
    FScroll->setObjectName(QStringLiteral("saStart"));
    // The page is sized here (FitPage): as wide as the view, as high as its wrapped tiles need.
    FScroll->setWidgetResizable(false);
    FScroll->setFrameShape(QFrame::NoFrame);
    FScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(FScroll);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("pnStartPage"));
    auto* pageLayout = new QVBoxLayout(page);
    const int em = fontMetrics().height();
    pageLayout->setContentsMargins(em * 3 / 2, em, em * 3 / 2, em);
    pageLayout->setSpacing(em);
    pageLayout->addWidget(Heading(tr("Ровелин для начальной школы"), 1.8, page));
    pageLayout->addWidget(
        Paragraph(tr("Выберите опыт — программа найдёт его датчик, и можно начинать измерение."), page));

    FColumns = new QBoxLayout(QBoxLayout::LeftToRight);
    FColumns->setSpacing(em * 2);
    auto* scenarioColumn = new QWidget(page);
    scenarioColumn->setObjectName(QStringLiteral("pnScenarios"));
    FScenarios = new QVBoxLayout(scenarioColumn);
    FScenarios->setContentsMargins(0, 0, 0, 0);
    FScenarios->setSpacing(em / 2);

    auto* side = new QWidget(page);
    side->setObjectName(QStringLiteral("pnSide"));
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->setSpacing(em / 2);
    sideLayout->addWidget(Heading(tr("Недавние уроки"), 1.3, side));
    auto* recentBox = new QWidget(side);
    FRecent = new QVBoxLayout(recentBox);
    FRecent->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(recentBox);
    auto* open = new QPushButton(tr("Открыть урок..."), side);
    open->setObjectName(QStringLiteral("bbOpenLesson"));
    connect(open, &QPushButton::clicked, this, &TfrStart::OpenLessonAsked);
    sideLayout->addWidget(open, 0, Qt::AlignLeft);
    sideLayout->addSpacing(em);
    sideLayout->addWidget(Heading(tr("Как начать"), 1.3, side));
    sideLayout->addWidget(Steps(side));
    auto* guide = new QPushButton(tr("Руководство пользователя (F1)"), side);
    guide->setObjectName(QStringLiteral("bbGuide"));
    connect(guide, &QPushButton::clicked, this, &TfrStart::GuideAsked);
    sideLayout->addWidget(guide, 0, Qt::AlignLeft);
    sideLayout->addStretch(1);

    FColumns->addWidget(scenarioColumn, 3);
    FColumns->addWidget(side, 2);
    pageLayout->addLayout(FColumns);
    pageLayout->addStretch(1);
    FScroll->setWidget(page);
    FScroll->viewport()->installEventFilter(this);
    BuildLessons();
}

TfrStart::~TfrStart() = default;

void TfrStart::SetCatalogue(const tCatalogue& catalogue) {
    FCatalogue = catalogue;
    BuildCatalogue();
}

void TfrStart::SetRecentLessons(const QStringList& paths) {
    FLessons = paths;
    BuildLessons();
}

void TfrStart::Refresh() {
    BuildCatalogue();
    BuildLessons();
}

QList<QAbstractButton*> TfrStart::ScenarioTiles() const {
    return FScenarioTiles;
}

QList<QAbstractButton*> TfrStart::LessonTiles() const {
    return FLessonTiles;
}

bool TfrStart::SideBySide() const {
    return FColumns->direction() == QBoxLayout::LeftToRight;
}

namespace {
void ClearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}
}  // namespace

void TfrStart::BuildCatalogue() {
    ClearLayout(FScenarios);
    FScenarioTiles.clear();
    QWidget* column = FScenarios->parentWidget();
    const QIcon picture = experimenticons::TreeImages().value(experimenticons::Scenario);

    auto addSection = [&](const QString& heading, const tCatalogueEntry& group,
                          const QList<tCatalogueEntry>& items, bool cut) {
        if (items.isEmpty()) return;
        FScenarios->addWidget(Heading(heading, 1.3, column));
        auto* box = new QWidget(column);
        auto* flow = new tFlowLayout(box);
        flow->setSpacing(fontMetrics().height() / 2);
        for (const tCatalogueEntry& scenario : items) {
            auto* tile = new TStartTile(picture, scenario.Caption, ScenarioDetail(group, scenario), box);
            tile->setObjectName(QStringLiteral("tileScenario"));
            tile->setToolTip(QDir::toNativeSeparators(scenario.Folder()));
            connect(tile, &QAbstractButton::clicked, this,
                    [this, scenario] { emit ScenarioChosen(scenario); });
            flow->addWidget(tile);
            FScenarioTiles << tile;
        }
        FScenarios->addWidget(box);
        if (cut)
            FScenarios->addWidget(
                Paragraph(tr("Остальные опыты этой группы — в окне «Выбор эксперимента...»."), column));
    };

    const QList<tCatalogueEntry> top = FCatalogue.TopLevel();
    QList<tCatalogueEntry> loose;
    for (const tCatalogueEntry& entry : top)
        if (!entry.Group) loose << entry;
    addSection(tr("Опыты"), tCatalogueEntry{}, loose, false);
    for (const tCatalogueEntry& group : top) {
        if (!group.Group) continue;
        const QList<tCatalogueEntry> scenarios = tCatalogue::ScenariosBelow(group, GroupLimit + 1);
        addSection(group.Caption, group, scenarios.mid(0, GroupLimit), scenarios.size() > GroupLimit);
    }
    if (FScenarioTiles.isEmpty()) {
        FScenarios->addWidget(Heading(tr("Опыты"), 1.3, column));
        FScenarios->addWidget(
            Paragraph(tr("В каталоге нет ни одного опыта. Опыты — это папки в папке data рядом с "
                         "программой; как их сделать, рассказано в руководстве (F1)."),
                      column));
    }
    FitPage();
}

void TfrStart::BuildLessons() {
    ClearLayout(FRecent);
    FLessonTiles.clear();
    QWidget* box = FRecent->parentWidget();
    const QIcon picture = experimenticons::Lesson();
    for (const QString& path : FLessons) {
        const QFileInfo info(path);
        if (!info.isFile()) continue;
        const QString detail = QDir::toNativeSeparators(info.absolutePath()) + QStringLiteral(" · ") +
                               info.lastModified().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
        auto* tile = new TStartTile(picture, info.completeBaseName(), detail, box);
        tile->setObjectName(QStringLiteral("tileLesson"));
        tile->setToolTip(QDir::toNativeSeparators(info.absoluteFilePath()));
        connect(tile, &QAbstractButton::clicked, this, [this, path] { emit LessonChosen(path); });
        FRecent->addWidget(tile);
        FLessonTiles << tile;
    }
    if (FLessonTiles.isEmpty()) FRecent->addWidget(Paragraph(tr("Здесь появятся сохранённые уроки."), box));
    FitPage();
}

void TfrStart::ArrangeColumns(int width) {
    // Side by side only when the scenarios keep room for two tiles a row beside the side column.
    const int em = fontMetrics().averageCharWidth();
    const QBoxLayout::Direction direction =
        width >= em * 120 ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (FColumns->direction() != direction) FColumns->setDirection(direction);
}

void TfrStart::resizeEvent(QResizeEvent* event) {
    ArrangeColumns(width());
    QWidget::resizeEvent(event);
    FitPage();
}

bool TfrStart::eventFilter(QObject* watched, QEvent* event) {
    // A scroll bar coming or going changes the view's width, and so the height the page needs.
    if (watched == FScroll->viewport() && event->type() == QEvent::Resize) FitPage();
    return QWidget::eventFilter(watched, event);
}

void TfrStart::FitPage() {
    QWidget* page = FScroll->widget();
    const int width = FScroll->viewport()->width();
    page->layout()->activate();
    const int height = std::max(FScroll->viewport()->height(), page->heightForWidth(width));
    if (page->size() != QSize(width, height)) page->resize(width, height);
}
