// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Help.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Mainfm.h"
#include "app/Program.h"
#include "devices/Device.h"
#include "experiments/Experimentfr.h"
#include "experiments/Guidefm.h"
#include "experiments/Pulsefr.h"
#include "foundation/Logfile.h"
#include "foundation/Milestones.h"
#include "foundation/Schoolsettings.h"
#include "foundation/Stringtable.h"
#include "lesson/Autosave.h"

namespace {
QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}
}  // namespace

QString ProgramInfoText(const tProgramInfo& info) {
    QStringList lines;
    lines << tHelp::tr("%1, версия %2").arg(ProductTitle(), info.Version);
    lines << tHelp::tr("Лицензия: GNU GPL версии 3 или более поздней; программа поставляется без гарантий.");
    lines << QString();
    lines << tHelp::tr("Папка программы (rovelin.cfg и сценарии data/): %1").arg(Native(info.ProgramDir));
    lines << tHelp::tr("Настройки школы: %1")
                 .arg(info.SchoolFile.isEmpty() ? tHelp::tr("нет") : Native(info.SchoolFile));
    lines << tHelp::tr("Свои настройки пользователя: %1").arg(Native(info.UserFile));
    lines << tHelp::tr("Журнал: %1").arg(Native(info.LogFile)) +
                 (info.LogOn ? QString() : tHelp::tr(" (не ведётся: программа запущена без ключа LOG)"));
    lines << tHelp::tr("Автосохранение урока: %1").arg(Native(info.AutosaveFile));
    lines << QString();
    lines << tHelp::tr("Датчик: %1").arg(info.Sensor.isEmpty() ? tHelp::tr("не подключён") : info.Sensor);
    return lines.join(u'\n');
}

tGuideTopic GuideTopicOf(const TfrExperiment* frame) {
    if (!frame) return GuideTopicForPage(QStringLiteral("frStart"));
    const QWidget* page = frame->Pages()->currentWidget();
    return GuideTopicForPage(page ? page->objectName() : QString(),
                             qobject_cast<const TfrPulse*>(frame) != nullptr);
}

tHelp::tHelp(TfmMain& window) : QObject(&window), FWindow(window) {}

tHelp::~tHelp() = default;

void tHelp::ShowGuide(tGuideTopic topic) {
    if (!FGuide) {
        FGuide = new TfmGuide(&FWindow);
        FGuide->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    FGuide->ShowTopic(topic);
}

void tHelp::ShowGuideHere() {
    ShowGuide(GuideTopicOf(FWindow.Frame()));
}

tProgramInfo tHelp::Info() const {
    tProgramInfo info;
    info.Version = ProgramVersion();
    info.ProgramDir = FWindow.ProgramDir();
    info.LogFile = gLogFile ? gLogFile->FileName() : QString();
    info.LogOn = LogIsOn();
    const tSchoolSettings school = tSchoolSettings::Load();
    info.SchoolFile = school.SchoolFile();
    info.UserFile = school.UserFile();
    info.AutosaveFile = FWindow.Autosave() ? FWindow.Autosave()->Path() : QString();
    if (const tDevice* device = FWindow.Device())
        info.Sensor =
            QStringLiteral("%1: %2 (%3)")
                .arg(device->GetName(), device->PortPath(), milestone::TransportName(device->Transport()));
    return info;
}

void tHelp::ShowInfo() {
    if (!FInfo) {
        FInfo = new QDialog(&FWindow);
        FInfo->setObjectName(QStringLiteral("fmInfo"));
        FInfo->setWindowTitle(tr("Сведения о программе"));
        auto* layout = new QVBoxLayout(FInfo);
        // Plain selectable text: a teacher copies it into a message to the school's administrator.
        FInfoText = new QPlainTextEdit(FInfo);
        FInfoText->setObjectName(QStringLiteral("reInfo"));
        FInfoText->setReadOnly(true);
        FInfoText->setAccessibleName(FInfo->windowTitle());
        FInfoText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        FInfoText->setMinimumSize(FInfoText->fontMetrics().averageCharWidth() * 70,
                                  FInfoText->fontMetrics().lineSpacing() * 14);
        layout->addWidget(FInfoText, 1);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, FInfo);
        QPushButton* copy = buttons->addButton(tr("Копировать"), QDialogButtonBox::ActionRole);
        copy->setObjectName(QStringLiteral("bbCopy"));
        connect(copy, &QPushButton::clicked, this, [this] {
            if (FInfoText) QApplication::clipboard()->setText(FInfoText->toPlainText());
        });
        connect(buttons, &QDialogButtonBox::rejected, FInfo, &QDialog::close);
        layout->addWidget(buttons);
    }
    // Read anew each time: the sensor or the log may have changed since.
    FInfoText->setPlainText(ProgramInfoText(Info()));
    FInfo->show();
    FInfo->raise();
    FInfo->activateWindow();
}
