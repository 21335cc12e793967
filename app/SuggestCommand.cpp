// Suggesting a ringtone: once a file is open, its hook is found on a thread of its own
// (audio/HookAnalysis.h). "Suggest a ringtone" (key S, the strip's context menu, or the
// sparkle button of the transport panel) puts the begin and end markers on the best part
// for a ringtone of the chosen length (20, 30 or 40 s, kept in the user's settings) and
// scrolls it into view; each further press offers the next candidate. Pressed while the
// analysis still runs, the suggestion is applied as soon as it arrives.
#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/UserSettings.h"
#include "app/mainunit.h"
#include "audio/HookAnalysis.h"
#include "platform/ErrorHandler.h"
#include "strip/TimeText.h"
#include "strip/WaveRender.h"

namespace {

const char* const kRingtoneSecondsKey = "Suggest/RingtoneSeconds";
constexpr int kRingtoneSeconds[] = {20, 30, 40};
constexpr int kDefaultRingtoneSeconds = 30;

QString ReasonText(const HookFinder::Suggestion& suggestion)
{
    switch (suggestion.reason) {
    case HookFinder::Reason::Chorus:
        return QString("the chorus, heard %1 times").arg(suggestion.heard);
    case HookFinder::Reason::RepeatedPart:
        return QString("a repeated part, heard %1 times").arg(suggestion.heard);
    case HookFinder::Reason::Loudest:
        break;
    }
    return "the loudest part";
}

int32_t ColumnOf(double seconds)
{
    return int32_t(std::lround(seconds * TWaveRender::ColumnsPerSecond));
}

// Scrolls the strip so that the columns [begin, end] are in view, the selection in the
// middle of the view when it fits and its begin at the left edge when it does not.
void ShowColumns(QScrollArea& box, int32_t begin, int32_t end)
{
    QScrollBar& bar = *box.horizontalScrollBar();
    const int32_t shown = box.viewport()->width();
    if (begin >= bar.value() && end < bar.value() + shown)
        return;
    const int32_t room = shown - (end - begin);
    bar.setValue(room > 0 ? begin - room / 2 : begin);
}

}  // namespace

void TMainForm::CreateSuggestCommand()
{
    actSuggest = new QAction("Suggest a ringtone", this);
    actSuggest->setObjectName("actSuggest");
    connect(actSuggest, &QAction::triggered, this, &TMainForm::SuggestClick);
    imgWave->addAction(actSuggest);
    auto* key = new QShortcut(QKeySequence(Qt::Key_S), this);
    key->setObjectName("keySuggest");
    connect(key, &QShortcut::activated, this, &TMainForm::SuggestClick);
    // The picture button runs under the default error handler, as the other transport
    // buttons do.
    connect(btnSuggest, &TImage::Click, this, [this] { RunHandler([&] { SuggestClick(); }); });

    auto* lengths = new QMenu("Ringtone length", this);
    lengths->setObjectName("menuRingtoneLength");
    auto* group = new QActionGroup(lengths);
    const int stored = UserSettings().value(kRingtoneSecondsKey, kDefaultRingtoneSeconds).toInt();
    const bool known = std::find(std::begin(kRingtoneSeconds), std::end(kRingtoneSeconds), stored) !=
                       std::end(kRingtoneSeconds);
    ringtoneSeconds_ = known ? stored : kDefaultRingtoneSeconds;
    for (int seconds : kRingtoneSeconds) {
        QAction* length = lengths->addAction(QString("%1 s").arg(seconds));
        length->setCheckable(true);
        length->setData(seconds);
        length->setChecked(seconds == ringtoneSeconds_);
        group->addAction(length);
        connect(length, &QAction::triggered, this, [this, seconds] {
            UserSettings().setValue(kRingtoneSecondsKey, seconds);
            ringtoneSeconds_ = seconds;
            nextSuggestion_ = 0;
        });
    }
    imgWave->addAction(lengths->menuAction());
}

void TMainForm::StartHookAnalysis(const QString& path)
{
    StopHookAnalysis();
    hookAnalysis_ = std::make_unique<HookAnalysis>(QFile::encodeName(path).toStdString());
    connect(hookAnalysis_.get(), &HookAnalysis::AnalysisEnded, this, [this] {
        if (suggestionWanted_)
            SuggestClick();
    });
}

void TMainForm::StopHookAnalysis()
{
    hookAnalysis_.reset();
    nextSuggestion_ = 0;
    suggestionWanted_ = false;
}

void TMainForm::SuggestClick()
{
    if (!FRender || !hookAnalysis_) {
        sb_status->SetCaption("Open a song first: the ringtone is suggested from it.");
        return;
    }
    if (!hookAnalysis_->Finished()) {
        suggestionWanted_ = true;
        sb_status->SetCaption("Finding the ringtone ...");
        return;
    }
    suggestionWanted_ = false;
    const HookFinder* finder = hookAnalysis_->Finder();
    const auto suggestions = finder ? finder->Suggestions(ringtoneSeconds_) : std::vector<HookFinder::Suggestion>{};
    if (suggestions.empty()) {
        sb_status->SetCaption("No ringtone can be suggested for this file.");
        return;
    }
    const HookFinder::Suggestion& suggestion = suggestions[nextSuggestion_ % suggestions.size()];
    nextSuggestion_ = (nextSuggestion_ + 1) % suggestions.size();
    const int32_t last = std::max(FRender->WaveWidth(), 1);
    const int32_t begin = std::clamp(ColumnOf(suggestion.begin), 0, last);
    const int32_t end = std::clamp(ColumnOf(suggestion.end), begin, last);
    FRender->SetBeginPos(begin);
    FRender->SetEndPos(end);
    ShowColumns(*ScrollBoxWave, begin, end);
    sb_status->SetCaption(QString("Suggested %1 - %2: %3")
                              .arg(QString::fromStdString(FormatTimeText(FRender->BeginSecond())),
                                   QString::fromStdString(FormatTimeText(FRender->EndSecond())), ReasonText(suggestion)));
}
