// Many refreshes with 24 drives and many showings of each dialog leave neither memory nor
// objects behind. The number of rounds is the first argument (2000 unless said).
#include "../gui_helpers.h"
#include "../gui_tests.h"
#include "About.h"
#include "Anordn.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "buttons.h"
#include "fonts.h"
#include "program.h"
#include "screen.h"

#include <QDialog>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

// Qt's hooks for tools that follow every QObject's life (as GammaRay does).
extern "C" Q_CORE_EXPORT quintptr qtHookData[];

namespace {

int rounds = 2000;
std::atomic<long> liveObjects{0};

void added(QObject *)
{
    ++liveObjects;
}

void removed(QObject *)
{
    --liveObjects;
}

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

class Soak : public testing::Test
{
protected:
    void SetUp() override
    {
        program.Ready();
        program.volumes = FakeVolumeSource();
        for (char16_t letter = u'C'; letter <= u'Z'; ++letter)
            program.volumes.setDriveGB(letter, 100 + letter, 40);
        qtHookData[3] = reinterpret_cast<quintptr>(&added);
        qtHookData[4] = reinterpret_cast<quintptr>(&removed);
    }
    void TearDown() override
    {
        qtHookData[3] = 0;
        qtHookData[4] = 0;
    }

    // Runs `round` the given number of times after a warm-up; checks memory and objects.
    void soak(const char *what, const std::function<void()> &round)
    {
        for (int i = 0; i < 20; ++i)
            round();
        settle();
        const long objects = liveObjects;
        const long memory = residentKilobytes();
        for (int i = 0; i < rounds; ++i)
            round();
        settle();
        // Back to where it started (a few lazily made helpers of Qt's may even have gone).
        EXPECT_LE(liveObjects, objects) << what << ": live QObjects";
#ifndef __SANITIZE_ADDRESS__
        EXPECT_LT(residentKilobytes() - memory, 1024) << what << ": resident memory grew, in KiB";
#else
        // AddressSanitizer holds freed memory back on purpose; LeakSanitizer checks instead.
        (void)memory;
#endif
    }

    // Shows a dialog modally and closes it with its OK button.
    void showAndClose(QDialog *dialog, const std::function<void()> &show, QAbstractButton *ok)
    {
        WhenShown(dialog, [ok] { ok->click(); });
        show();
    }

    ProgramUnderTest program;
};

} // namespace

TEST_F(Soak, Refreshes)
{
    TMainForm *main = program.main;
    soak("refresh", [this] { program.Refresh(); });
    EXPECT_EQ(main->MDIChildCount(), 24);
}

TEST_F(Soak, DialogShowings)
{
    TMainForm *main = program.main;
    soak("total overview", [&] {
        showAndClose(
            program.gesamt, [main] { main->btnAllDirvesClick(main); }, program.gesamt->OKButton);
    });
    soak("about", [&] {
        showAndClose(
            program.info, [main] { main->HelpAboutItemClick(main); }, program.info->OKButton);
    });
    soak("settings", [&] {
        WhenShown(program.settings, [this] { program.settings->BitBtn1->click(); });
        Screen->ShowModal(program.settings);
    });
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]).rfind("--", 0) != 0)
        rounds = std::stoi(argv[1]);
    return RunGuiTests(argc, argv, TestScreen::EachProgram);
}
