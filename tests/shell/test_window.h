#pragma once
// The main window as the GUI tests drive it: its inputs, Start, the file
// commands with their dialogs answered by FakeServices, and what the lists
// show.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QtTest>

#include "fake_services.h"
#include "present/qt/page_model.h"
#include "shell/main_form.h"
#include "shell/run_charts.h"
#include "support/held_records.h"

namespace morvane::testing {

struct Window {
    enum Shown { Hidden, OnScreen };
    explicit Window(std::uint32_t seed = 1, Shown shown = Hidden) : form(services, seed) {
        if (shown == OnScreen) {
            form.show();
            if (!QTest::qWaitForWindowExposed(&form)) qWarning("window not exposed");
        }
    }
    // Sets the three inputs and starts through the Start button.
    void Start(const QString& games, const QString& setting, const QString& runs = QStringLiteral("1")) {
        form.PlayNumEdit->setText(games);
        form.FlevelComboBox->setEditText(setting);
        form.SimNumEdit->setText(runs);
        QTest::mouseClick(form.StartButton, Qt::LeftButton);
    }
    // One run, then the events it left, so the charts have drawn.
    void Start(int games, int setting) {
        Start(QString::number(games), QString::number(setting));
        QApplication::processEvents();
    }
    void Save(const QString& path) {
        services.saveAnswers.push_back(path);
        form.FileSaveMenuClick();
    }
    void Open(const QString& path) {
        services.openAnswers.push_back(path);
        form.FileOpenMenuClick();
    }
    std::size_t Rows(morvane::Page p) const { return static_cast<std::size_t>(form.Model(p)->rowCount()); }
    QString Cell(morvane::Page p, int row, int column) const {
        return form.Model(p)->index(row, column).data().toString();
    }
    // Every row of a list page, cells joined by TABs.
    QStringList Page(morvane::Page p) const {
        QStringList rows;
        const PageModel* m = form.Model(p);
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c) cells << m->index(r, c).data().toString();
            rows << cells.join(QLatin1Char('\t'));
        }
        return rows;
    }
    RunCharts& charts() { return form.Charts(); }

    FakeServices services;
    TMainForm form;
};

}  // namespace morvane::testing
