#include "../gui_helpers.h"
#include "About.h"
#include "Main.h"
#include "buttons.h"
#include "link_opener.h"
#include "panel.h"
#include "program.h"
#include "timer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

// Records the links it is given; fails each after the given milliseconds, or never.
class RecordingOpener : public LinkOpener
{
public:
    static constexpr int never = -1;
    RecordingOpener(QStringList &links, int failAfter) : links(links), failAfter(failAfter) {}
    void Open(const QString &link) override
    {
        links << link;
        if (failAfter != never)
            QTimer::singleShot(failAfter, Qt::PreciseTimer, this,
                               [this, link] { emit Failed(link); });
    }

private:
    QStringList &links;
    int failAfter;
};

class AboutDialog : public testing::Test
{
protected:
    void SetUp() override { program.Ready(); }
    // The program's own opener is the dialog's again: what a test sets, it clears.
    void TearDown() override { dialog->SetOpener(programsOpener); }

    // The dialog's links go to this opener, which the test keeps.
    void useOpener(std::unique_ptr<LinkOpener> made)
    {
        dialog->SetOpener(made.get());
        opener = std::move(made);
    }

    // Shows the dialog as "&Info" does; `inDialog` runs while it is open and closes it.
    void show(const std::function<void()> &inDialog)
    {
        WhenShown(dialog, inDialog);
        program.main->HelpAboutItemClick(program.main->HelpAboutItem);
    }

    QString tick()
    {
        dialog->Timer1Timer(dialog->Timer1);
        return dialog->Label4->text();
    }

    // Characters first..last of the ticker text, counted from 1.
    static QString window(int first, int last)
    {
        return TickerText.mid(first - 1, last - first + 1);
    }

    ProgramUnderTest program;
    TFormInfo *dialog = program.info;
    LinkOpener *const programsOpener = dialog->Opener();
    std::unique_ptr<LinkOpener> opener;
};

} // namespace

TEST_F(AboutDialog, DeclaredContent)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(dialog->size(), QSize(390, 286));
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(dialog->LabelVersion->text(), QStringLiteral("2.5.1"));
    EXPECT_EQ(dialog->Label1->text(), QStringLiteral("FREEWARE"));
    EXPECT_EQ(dialog->Comments->text(), QStringLiteral("Laufwerks-Statistik"));
    EXPECT_EQ(dialog->Label6->text(), QStringLiteral("e-Mail:"));
    EXPECT_EQ(dialog->Label7->text(), QStringLiteral("Internet:"));
    EXPECT_TRUE(dialog->Copyright->text().contains(QStringLiteral("Copyright")));
    EXPECT_EQ(dialog->OKButton->toolTip(), QStringLiteral("Schließen"));
    EXPECT_EQ(dialog->OKButton->geometry(), QRect(307, 254, 77, 26));
    EXPECT_EQ(dialog->Timer1->interval(), 100);
    EXPECT_FALSE(dialog->Timer1->Enabled());

    // The shadowed title: blue over a white copy 2 px to the lower right, on silver.
    EXPECT_EQ(dialog->ProductName->pos() + QPoint(2, 2), dialog->Label5->pos());
    EXPECT_EQ(dialog->ProductName->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(dialog->Label5->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(dialog->Label5->palette().color(QPalette::Window), QColor(192, 192, 192));
    const QObjectList order = dialog->Panel1->children();
    EXPECT_GT(order.indexOf(dialog->ProductName), order.indexOf(dialog->Label5));

    for (QLabel *link : {dialog->Label2, dialog->Label3}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_TRUE(dialog->Label3->text().startsWith(QStringLiteral("https://")));
    EXPECT_EQ(dialog->Label4->geometry(), QRect(128, 47, 245, 13));
    EXPECT_EQ(dialog->Label4->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(dialog->Label4->palette().color(QPalette::WindowText), QColor(0, 255, 255));

    // Texts are measured and pictures read when the dialog is first shown.
    show([&] {
        EXPECT_LE(dialog->Label4->fontMetrics().height(), 13)
            << "the whole line shows, descenders too";
        for (QLabel *text :
             {dialog->Label5, dialog->Copyright, dialog->LabelVersion, dialog->ProductName,
              dialog->Label1, dialog->Label2, dialog->Label3, dialog->Label6, dialog->Label7})
            EXPECT_EQ(text->size(), text->sizeHint()) << text->text().toStdString();
        EXPECT_TRUE(dialog->Comments->wordWrap());
        EXPECT_FALSE(dialog->Image1->pixmap().isNull());
        EXPECT_FALSE(dialog->Image2->pixmap().isNull());
        dialog->OKButton->click();
    });
}

TEST_F(AboutDialog, TickerText)
{
    EXPECT_EQ(TickerText.size(), 235);
    EXPECT_TRUE(TickerText.startsWith(QString(16, u' ') + QStringLiteral("Volumo")));
    EXPECT_TRUE(
        TickerText.endsWith(QStringLiteral("       +++ Diese Version ist FREEWARE +++   ")));
    for (const QChar c : TickerText)
        EXPECT_LT(c.unicode(), 128) << "plain ASCII";
}

TEST_F(AboutDialog, TickerGoesOnWhereItStoppedAndRunsOnlyWhileShown)
{
    TickerPos = 0;
    show([&] {
        EXPECT_TRUE(dialog->Timer1->Enabled());
        for (int t = 0; t < 50; ++t)
            tick();
        dialog->OKButton->click();
    });
    EXPECT_FALSE(dialog->Timer1->Enabled());
    show([&] {
        EXPECT_EQ(tick(), window(50, 89));
        dialog->OKButton->click();
    });

    // Once through the real timer: the label moves on by itself every 100 ms.
    QString first;
    bool moved = false;
    show([&] {
        first = dialog->Label4->text();
        moved = WaitFor([&] { return dialog->Label4->text() != first; }, 1000);
        dialog->OKButton->click();
    });
    EXPECT_TRUE(moved);
    const QString after = dialog->Label4->text();
    QTest::qWait(250);
    EXPECT_EQ(dialog->Label4->text(), after) << "no ticking while closed";
}

TEST_F(AboutDialog, LinksGoToTheOpener)
{
    QStringList links;
    useOpener(std::make_unique<RecordingOpener>(links, RecordingOpener::never));
    show([&] {
        QTest::mouseClick(dialog->Label2, Qt::LeftButton);
        QTest::mouseClick(dialog->Label3, Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible());
        dialog->OKButton->click();
    });
    EXPECT_EQ(links, (QStringList{"MAILTO:" + dialog->Label2->text(), dialog->Label3->text()}));
}

TEST_F(AboutDialog, ALinkOpensOncePerClickWithPressAndReleaseOnIt)
{
    QStringList links;
    useOpener(std::make_unique<RecordingOpener>(links, RecordingOpener::never));
    QLabel *link = dialog->Label3;
    const QPoint away = link->rect().center() + QPoint(80, 0);
    struct Row
    {
        const char *name;
        std::function<void()> mouse;
        int opened;
    };
    const Row rows[] = {
        {"a click", [&] { QTest::mouseClick(link, Qt::LeftButton); }, 1},
        {"a double click, as the desktop delivers it",
         [&] {
             QTest::mouseClick(link, Qt::LeftButton);
             QTest::mousePress(link, Qt::LeftButton);
             QTest::mouseDClick(link, Qt::LeftButton);
             QTest::mouseRelease(link, Qt::LeftButton);
         },
         1},
        {"pressed, dragged 80 px away and released there",
         [&] {
             QTest::mousePress(link, Qt::LeftButton);
             QTest::mouseMove(link, away);
             QTest::mouseRelease(link, Qt::LeftButton, {}, away);
         },
         0},
        {"released on it, pressed elsewhere", [&] { QTest::mouseRelease(link, Qt::LeftButton); },
         0},
        {"the right button", [&] { QTest::mouseClick(link, Qt::RightButton); }, 0},
        {"a click after all that", [&] { QTest::mouseClick(link, Qt::LeftButton); }, 1},
    };
    for (const Row &row : rows) {
        links.clear();
        show([&] {
            row.mouse();
            dialog->OKButton->click();
        });
        EXPECT_EQ(links.size(), row.opened) << row.name;
    }
}

TEST_F(AboutDialog, ALinkThatCannotBeOpenedSaysSoAndTheDialogStays)
{
    QStringList links;
    useOpener(std::make_unique<RecordingOpener>(links, 0));
    struct Row
    {
        QLabel *link;
        const char *message;
    };
    const Row rows[] = {{dialog->Label2, "Fehler beim Starten der E-Mail-Anwendung."},
                        {dialog->Label3, "Fehler beim Starten des Internet-Browsers."}};
    for (const Row &row : rows) {
        std::shared_ptr<SeenBox> seen;
        bool stillOpen = false;
        show([&] {
            seen = AnswerNextMessageBox();
            QTest::mouseClick(row.link, Qt::LeftButton);
            WaitFor([&] { return seen->seen; });
            stillOpen = dialog->isVisible();
            dialog->OKButton->click();
        });
        ASSERT_TRUE(seen && seen->seen) << row.message;
        EXPECT_EQ(seen->title, QStringLiteral("Fehler"));
        EXPECT_EQ(seen->text, QString::fromUtf8(row.message));
        EXPECT_EQ(seen->icon, QMessageBox::Critical);
        EXPECT_EQ(seen->buttons, 1);
        EXPECT_EQ(seen->owner, dialog) << "over the dialog, which is still open";
        EXPECT_TRUE(stillOpen);
    }
}

TEST_F(AboutDialog, AnOpenerThatIsSlowFreezesNothingAndAFailureComesWhenItComes)
{
    struct Row
    {
        const char *name;
        int failAfter;
    };
    for (const Row &row :
         {Row{"never ends", RecordingOpener::never}, Row{"fails after 3 s", 3000}}) {
        QStringList links;
        useOpener(std::make_unique<RecordingOpener>(links, row.failAfter));
        const std::shared_ptr<SeenBox> seen = AnswerNextMessageBox();
        QStringList ticker;
        QElapsedTimer clock;
        show([&] {
            clock.start();
            QTest::mouseClick(dialog->Label3, Qt::LeftButton);
            // The ticker goes on while the opener is busy.
            while (clock.elapsed() < 1000) {
                if (ticker.isEmpty() || ticker.last() != dialog->Label4->text())
                    ticker << dialog->Label4->text();
                QTest::qWait(20);
            }
            dialog->OKButton->click();
        });
        EXPECT_GE(ticker.size(), 4) << row.name << ": the ticker moved on";
        EXPECT_FALSE(seen->seen) << row.name << ": nothing to say yet";
        if (row.failAfter != RecordingOpener::never) {
            ASSERT_TRUE(WaitFor([&] { return seen->seen; }, 3000)) << row.name;
            EXPECT_GE(clock.elapsed(), row.failAfter);
            EXPECT_EQ(seen->text, QStringLiteral("Fehler beim Starten des Internet-Browsers."));
            EXPECT_EQ(seen->owner, program.main) << "the dialog is closed by then";
        }
    }
}

TEST_F(AboutDialog, EnterOkAndTheCloseBoxCloseEscDoesNot)
{
    bool openAfterEsc = false;
    show([&] {
        QTest::keyClick(dialog, Qt::Key_Escape);
        openAfterEsc = dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    EXPECT_TRUE(openAfterEsc);
    EXPECT_FALSE(dialog->isVisible());
    show([&] { dialog->close(); });
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->Timer1->Enabled());
}
