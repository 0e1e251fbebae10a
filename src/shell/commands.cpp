// The window's smaller commands: exit, the About box, the manual and web
// pages, the setting reveal, the small-win markers, the analysis windows and
// the clock.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QUrl>

#include "chart/chart_view.h"
#include "estimation/estimate.h"
#include "model/theory.h"
#include "shell/about_box.h"
#include "shell/chart_images.h"
#include "shell/clock.h"
#include "shell/estimate_form.h"
#include "shell/form_input.h"
#include "shell/hall_form.h"
#include "shell/links.h"
#include "shell/main_form.h"
#include "shell/run_charts.h"
#include "shell/services.h"
#include "shell/spread_form.h"
#include "shell/theory_form.h"
#include "shell/value_form.h"

namespace morvane {

void TMainForm::FileExitMenuClick() { close(); }

void TMainForm::HelpAboutMenuClick() { aboutBox_->exec(); }

namespace {
QString BesideProgram(const QString& file) { return QDir(QCoreApplication::applicationDirPath()).filePath(file); }
}  // namespace

void TMainForm::HelpManMenuClick() {
    // A missing manual is no error worth a message.
    for (const QString& manual :
         {BesideProgram(links::kManualFile),
          BesideProgram(links::kInstalledManualFolder + QLatin1Char('/') + links::kManualFile)}) {
        if (QFileInfo::exists(manual)) {
            services_.OpenUrl(QUrl::fromLocalFile(QFileInfo(manual).canonicalFilePath()));
            return;
        }
    }
}

void TMainForm::JWord1Click() {
    const QString installer = BesideProgram(links::kInstallerFile);
    if (QFileInfo::exists(installer)) services_.StartProgram(installer, {links::kPartnerCode, QStringLiteral("1")});
}

void TMainForm::N3Click() { services_.OpenUrl(QUrl(links::kHomePage)); }

void TMainForm::N4Click() { services_.OpenUrl(QUrl(links::kAdvertisementPage)); }

void TMainForm::FlevelButtonClick() { FlevelComboBox->setEditText(QString::number(session_.Machine().GetFlevel())); }

void TMainForm::Che2CheckBoxClick() { charts_->SetMarkerOn(Marker::Cherry2, Che2CheckBox->isChecked()); }
void TMainForm::Che4CheckBoxClick() { charts_->SetMarkerOn(Marker::Cherry4, Che4CheckBox->isChecked()); }
void TMainForm::SuikaACheckBoxClick() { charts_->SetMarkerOn(Marker::Suika_A, SuikaACheckBox->isChecked()); }
void TMainForm::SuikaBCheckBoxClick() { charts_->SetMarkerOn(Marker::Suika_B, SuikaBCheckBox->isChecked()); }
void TMainForm::ChanceCheckBoxClick() { charts_->SetMarkerOn(Marker::Chance, ChanceCheckBox->isChecked()); }

void TMainForm::AddImageItemsTo(QWidget* form) {
    for (chart::ChartView* view : form->findChildren<chart::ChartView*>()) AddImageItems(view, services_, form);
}

const std::vector<SettingTheory>& TMainForm::Theories() {
    if (!theories_) theories_ = std::make_unique<std::vector<SettingTheory>>(AllSettingTheories());
    return *theories_;
}

void TMainForm::AnalysisTheoryMenuClick() {
    const std::int32_t games = ToInt(PlayNumEdit->text());
    if (games < 1) {
        services_.ShowError(this, texts::kErrorCaption, texts::kGamesBelowOne);
        return;
    }
    if (!theoryForm_) {
        theoryForm_ = new TTheoryForm(Theories(), this);
        AddImageItemsTo(theoryForm_);
    }
    theoryForm_->ShowFor(games);
}

void TMainForm::AnalysisEstimateMenuClick() {
    if (!estimateForm_) {
        estimateForm_ = new TEstimateForm(Theories(), this);
        AddImageItemsTo(estimateForm_);
    }
    // The run on screen, whatever the machine did since; run_commands keeps
    // it following.
    static const PlayHistory none;
    static const HistoryRecords noRecords(none);
    estimateForm_->ShowFor(presentation_.Records() ? *presentation_.Records() : noRecords);
}

void TMainForm::AnalysisSpreadMenuClick() {
    if (!spreadForm_) {
        // Starts from the main window's games and setting; its own inputs after that.
        spreadForm_ = new TSpreadForm(this);
        AddImageItemsTo(spreadForm_);
        spreadForm_->PlayNumEdit->setText(PlayNumEdit->text());
        const auto setting = ParseInt32(FlevelComboBox->currentText().toStdString());
        if (setting && ValidSetting(*setting)) spreadForm_->FlevelComboBox->setCurrentIndex(*setting - kMinSetting);
    }
    spreadForm_->show();
    spreadForm_->raise();
    spreadForm_->activateWindow();
}

void TMainForm::AnalysisHallMenuClick() {
    if (!hallForm_) {
        hallForm_ = new THallForm(this);
        AddImageItemsTo(hallForm_);
    }
    hallForm_->show();
    hallForm_->raise();
    hallForm_->activateWindow();
}

void TMainForm::AnalysisValueMenuClick() {
    if (!valueForm_) {
        valueForm_ = new TValueForm(this);
        valueForm_->CalcButtonClick();
    }
    valueForm_->show();
    valueForm_->raise();
    valueForm_->activateWindow();
}

void TMainForm::Timer1Timer() {
    const QLocale locale = QLocale::system();
    SetStatus(1, ClockText(QDateTime::currentDateTime(), locale));
}

}  // namespace morvane
