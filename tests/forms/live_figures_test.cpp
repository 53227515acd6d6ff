// The live program on a fake source: drive windows and the total overview follow their volumes'
// figures in place, and mark a volume that fills up.
#include "../gui_helpers.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "chart.h"
#include "mdi_frame.h"
#include "number_format.h"
#include "program.h"
#include "volume_sampler.h"
#include "volume_watcher.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>

namespace {

constexpr int64_t GiB = int64_t{1} << 30;

// Counts the paint events the main window and everything in it receive.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *window) : window(window) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }

    int count = 0;
    QStringList painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == window || window->isAncestorOf(static_cast<QWidget *>(watched)))) {
            ++count;
            painted << watched->metaObject()->className() + (u' ' + watched->objectName());
        }
        return false;
    }

private:
    QWidget *window;
};

class LiveFigures : public testing::Test
{
protected:
    void SetUp() override
    {
        SetNumberSeparators({".", ","});
        program.Ready();
        ASSERT_TRUE(sampled());
    }

    // Waits for the next sample to have run to its end.
    bool sampled()
    {
        const int before = program.sampler->Samples();
        return WaitFor([&] { return program.sampler->Samples() > before; },
                       2 * VolumeSampler::VisibleMs + 1000);
    }

    TMDIChild *window(const QString &root) const
    {
        for (int i = 0; i < program.main->MDIChildCount(); ++i) {
            if (program.main->MDIChildren(i)->windowTitle().startsWith(root))
                return program.main->MDIChildren(i);
        }
        return nullptr;
    }

    VolumeWatcher changes;
    ProgramUnderTest program{&changes};
};

} // namespace

TEST_F(LiveFigures, FiguresFollowTheVolumeInPlaceAndNothingIsDrawnWhenNothingChanged)
{
    TMDIChild *d = window(QStringLiteral("D:\\"));
    ASSERT_TRUE(d);
    QTest::mouseClick(d->DBChart1, Qt::LeftButton);
    QMdiSubWindow *active = program.main->Frame()->Area()->activeSubWindow();
    ASSERT_EQ(active, program.main->Frame()->SubWindowOf(d));
    QWidget *focus = QApplication::focusWidget();
    const QList<TMDIChild *> windows = program.main->findChildren<TMDIChild *>();

    {
        // Once what the click brought has been drawn.
        ASSERT_TRUE(sampled());
        PaintCounter paints(program.main);
        ASSERT_TRUE(sampled());
        ASSERT_TRUE(sampled());
        EXPECT_EQ(paints.count, 0) << "the figures did not change; nothing was drawn: "
                                   << paints.painted.join(u',').toStdString();
    }

    program.volumes.setDriveGB(u'D', 1863, 1000);
    PaintCounter paints(program.main);
    ASSERT_TRUE(sampled());
    EXPECT_EQ(ProgramUnderTest::Figures(d),
              (QStringList{"863 GB =", "46%", "1.000 GB =", "54%", "1.863 GB =", "100%"}));
    ASSERT_EQ(d->Series1->points().size(), 2u);
    EXPECT_EQ(d->Series1->points()[1].value, 1000.0);
    EXPECT_TRUE(WaitFor([&] { return paints.count > 0; })) << "the changed figures are drawn";
    EXPECT_EQ(program.main->findChildren<TMDIChild *>(), windows) << "no window rebuilt";
    EXPECT_EQ(program.main->Frame()->Area()->activeSubWindow(), active);
    EXPECT_EQ(QApplication::focusWidget(), focus);
    EXPECT_EQ(program.Captions(), (QStringList{"D:\\", "C:\\"}));
}

TEST_F(LiveFigures, TheTotalOverviewFollowsWhileItIsOpen)
{
    QString before;
    QString after;
    WhenShown(program.gesamt, [&] {
        before = program.gesamt->Label3->text();
        program.volumes.setDriveGB(u'D', 1863, 1000);
        WaitFor([&] { return program.gesamt->Label3->text() != before; },
                2 * VolumeSampler::VisibleMs + 1000);
        after = program.gesamt->Label3->text();
        program.gesamt->done(0);
    });
    program.main->btnAllDirvesClick(program.main);
    EXPECT_EQ(before, QStringLiteral("1800 GB"));
    EXPECT_EQ(after, QStringLiteral("1400 GB"));
    EXPECT_EQ(program.gesamt->Series1->points()[1].value, 1400.0);
}

TEST_F(LiveFigures, AVolumeNearlyFullIsMarkedAndToldOnceAndTheWarningsCanBeSwitchedOff)
{
    // 1 % free: below 5 % and below 10 GiB.
    program.volumes.setDrive(u'C', 931 * GiB, 9 * GiB + GiB / 2);
    ASSERT_TRUE(WaitFor(
        [&] {
            return window(QStringLiteral("C:\\")) &&
                   window(QStringLiteral("C:\\"))->windowTitle() ==
                       QStringLiteral("C:\\ \u2013 fast voll");
        },
        2 * VolumeSampler::VisibleMs + 1000));
    ASSERT_EQ(program.notices->notices.size(), 1u);
    EXPECT_EQ(program.notices->notices[0].title, QStringLiteral("Laufwerk C:\\ fast voll"));
    EXPECT_TRUE(program.notices->notices[0].text.startsWith(QStringLiteral("Noch 9 GB frei (1%)")))
        << program.notices->notices[0].text.toStdString();
    EXPECT_EQ(program.notices->notices[0].urgency, DesktopNotifier::Urgency::Critical);
    ASSERT_TRUE(sampled());
    EXPECT_EQ(program.notices->notices.size(), 1u) << "once per level";

    // A refresh makes the windows anew; they carry the mark at once, in the caption and as the
    // title bar's icon.
    program.Refresh();
    TMDIChild *c = window(QStringLiteral("C:\\"));
    EXPECT_EQ(c->windowTitle(), QStringLiteral("C:\\ \u2013 fast voll"));
    const auto iconOf = [&](TMDIChild *child) {
        return program.main->Frame()->SubWindowOf(child)->windowIcon().cacheKey();
    };
    EXPECT_NE(iconOf(c), QApplication::windowIcon().cacheKey());
    EXPECT_EQ(iconOf(window(QStringLiteral("D:\\"))), QApplication::windowIcon().cacheKey());

    program.main->WarnungenAnzeigen->trigger();
    EXPECT_TRUE(WaitFor(
        [&] { return window(QStringLiteral("C:\\"))->windowTitle() == QStringLiteral("C:\\"); }));
    EXPECT_FALSE(Settings.ShowWarnings);
    EXPECT_EQ(iconOf(c), QApplication::windowIcon().cacheKey());
    program.volumes.setDrive(u'C', 931 * GiB, GiB);
    ASSERT_TRUE(sampled());
    EXPECT_EQ(window(QStringLiteral("C:\\"))->windowTitle(), QStringLiteral("C:\\"));
    EXPECT_EQ(program.notices->notices.size(), 1u) << "switched off, nothing is told";

    program.main->WarnungenAnzeigen->trigger();
    EXPECT_TRUE(WaitFor([&] {
        return window(QStringLiteral("C:\\"))->windowTitle() ==
               QStringLiteral("C:\\ \u2013 fast voll");
    }));
}

TEST_F(LiveFigures, FiguresThatCannotBeLeaveTheWindowAsItWas)
{
    TMDIChild *c = window(QStringLiteral("C:\\"));
    ASSERT_TRUE(c);
    const QStringList shown = ProgramUnderTest::Figures(c);
    for (const auto &[total, free] :
         {std::pair{100 * GiB, 200 * GiB}, std::pair{int64_t{0}, int64_t{0}},
          std::pair{100 * GiB, -GiB}}) {
        program.volumes.setDrive(u'C', total, free);
        ASSERT_TRUE(sampled());
        EXPECT_EQ(ProgramUnderTest::Figures(c), shown) << total << " " << free;
        EXPECT_EQ(c->windowTitle(), QStringLiteral("C:\\"));
    }
    EXPECT_TRUE(program.notices->notices.empty());
}

TEST_F(LiveFigures, SampledEveryTwoSecondsOnTheScreenAndEveryMinuteMinimised)
{
    EXPECT_EQ(program.sampler->Interval(), VolumeSampler::VisibleMs);
    program.main->showMinimized();
    EXPECT_TRUE(WaitFor([&] { return program.sampler->Interval() == VolumeSampler::HiddenMs; }));
    program.main->showNormal();
    EXPECT_TRUE(WaitFor([&] { return program.sampler->Interval() == VolumeSampler::VisibleMs; }));
    program.main->hide();
    EXPECT_EQ(program.sampler->Interval(), VolumeSampler::HiddenMs);
}
