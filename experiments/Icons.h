// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the chooser (the tree's three node images and the toolbar's four action images) and
// of the start page (a lesson, the three steps of «Как начать»), drawn in code so the catalogue
// needs no image files. User-interface thread only.
#pragma once

#include <QIcon>
#include <QList>

namespace experimenticons {
enum : int { Group = 0, OpenGroup = 1, Scenario = 2, Catalogue = 3 };
// The tree's image list: group at 0, an open group (never shown) at 1, scenario at 2, a further
// catalogue (the school's scenarios, a teacher's own) at 3.
QList<QIcon> TreeImages();
QIcon Description();
QIcon Copy();
QIcon Print();
QIcon Save();
// A lesson file: a notebook with a small chart.
QIcon Lesson();
// The three steps of a first lesson: choose a scenario, measure, save the lesson.
QIcon StepChoose();
QIcon StepMeasure();
QIcon StepSave();
}  // namespace experimenticons
