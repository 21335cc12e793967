#pragma once
// A main window for command tests: its work folder and its settings in a scratch folder,
// its player on the null output, its dialogs answered by FakeDialogs, and the reader's pump and error box
// installed as at start-up.
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#include "audio/MPGTools.h"
#include "audio/MediaPlayer.h"
#include "support/FakeDialogs.h"
#include "support/Fixtures.h"

namespace fixtures {

class WindowFixture {
public:
    WindowFixture()
    {
        setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        // The window's settings are read and written in the scratch folder, never the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(runtime.path()));
        TMediaPlayer::SetUseNullOutput(true);
        InstallWindowReaderDefaults();
        form = std::make_unique<TMainForm>();
    }

    // Runs the window's events until the condition holds or the time runs out.
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    // Opens a file through the Open command, as a user picking it in the dialog.
    void Open(const std::string& path)
    {
        dialogs.openAnswers.push_back(FakeDialogs::Pick(path));
        form->btnOpenClick(form->btnOpen);
    }

    // Runs the idle handler, as the event loop does whenever it is about to wait.
    void Idle()
    {
        bool done = false;
        form->ApplicationEvents1Idle(form.get(), done);
    }

    ScratchDir runtime;
    ScratchDir files;
    FakeDialogs dialogs;
    std::unique_ptr<TMainForm> form;
};

}  // namespace fixtures
