// What is done to the sound besides cutting it: the Save button's context menu turns
// the fades at both ends and the loudness on and off. Both are off until the user
// turns them on; the choices are kept in the user's settings.
#include <QAction>
#include <QCoreApplication>

#include "app/UserSettings.h"
#include "app/mainunit.h"

namespace {

const char* const kFadeInOutKey = "Export/FadeInOut";
const char* const kMakeLoudKey = "Export/MakeLoud";

// A checkable option whose state is kept in the user's settings under key.
QAction* MakeOption(QWidget* owner, const QString& name, const QString& text, const char* key)
{
    auto* action = new QAction(text, owner);
    action->setObjectName(name);
    action->setCheckable(true);
    action->setChecked(UserSettings().value(key, false).toBool());
    QObject::connect(action, &QAction::toggled, owner, [key](bool checked) { UserSettings().setValue(key, checked); });
    return action;
}

}  // namespace

void TMainForm::CreateSaveOptionsMenu()
{
    actFadeInOut = MakeOption(this, "actFadeInOut", "Fade in and out", kFadeInOutKey);
    actMakeLoud = MakeOption(this, "actMakeLoud", "Make it loud", kMakeLoudKey);
    btnSave->addAction(actFadeInOut);
    btnSave->addAction(actMakeLoud);
    btnSave->setContextMenuPolicy(Qt::ActionsContextMenu);
}

ExportOptions TMainForm::ChosenExportOptions() const
{
    ExportOptions options;
    options.fadeInOut = actFadeInOut && actFadeInOut->isChecked();
    options.makeLoud = actMakeLoud && actMakeLoud->isChecked();
    return options;
}
