// SPDX-License-Identifier: GPL-3.0-or-later
// TfmGuide: the user guide's window. It shows the guide's pages from inside the program, with
// «Назад», «Вперёд» and «Содержание»; links to the outside open in the system's browser. The main
// window keeps one and shows it on F1 at the page of what the user looks at. Not modal: the guide
// can stay open beside a lesson. User-interface thread only.
#pragma once

#include <QDialog>

#include "experiments/Guide.h"

class QPushButton;
class QTextBrowser;

class TfmGuide : public QDialog {
    Q_OBJECT
  public:
    explicit TfmGuide(QWidget* owner = nullptr);

    // Opens the topic's page, shows the window and brings it to the front.
    void ShowTopic(tGuideTopic topic);

    QTextBrowser* Browser() const { return tbGuide; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Shows the page's pictures at most as wide as the page.
    void FitPictures();

    QTextBrowser* tbGuide;
    QPushButton* bbBack;
    QPushButton* bbForward;
    QPushButton* bbContents;
};
