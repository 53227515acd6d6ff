#include "../../gui_helpers.h"
#include "application.h"

#include <QMdiSubWindow>
#include <QMenu>
#include <QProxyStyle>
#include <gtest/gtest.h>

#include <set>

TEST(MdiFrame, ChildrenMostRecentlyFocusedFirst)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    frame.addChild(QStringLiteral("Z"));
    frame.addChild(QStringLiteral("D"));
    QWidget *c = frame.addChild(QStringLiteral("C"));
    EXPECT_EQ(frame.order(), (QStringList{"C", "D", "Z"}));
    EXPECT_EQ(c->size(), QSize(200, 100)) << "opens with its client size";

    frame.area->setActiveSubWindow(frame.mdi.SubWindowOf(frame.mdi.MDIChildren(2)));
    EXPECT_EQ(frame.order(), (QStringList{"Z", "C", "D"}));
    QTest::mouseClick(frame.mdi.SubWindowOf(c)->widget(), Qt::LeftButton);
    EXPECT_EQ(frame.order(), (QStringList{"C", "Z", "D"}));
}

TEST(MdiFrame, FreedChildStaysVisibleAndListedUntilBackInTheEventLoop)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QPointer<QWidget> a = frame.addChild(QStringLiteral("A"));
    frame.addChild(QStringLiteral("B"));

    frame.mdi.Close(a);
    ASSERT_FALSE(a.isNull());
    EXPECT_TRUE(a->isVisible());
    EXPECT_EQ(frame.order(), (QStringList{"B", "A"}));
    frame.mdi.Close(a); // closing twice is harmless

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(frame.order(), (QStringList{"B"}));
}

TEST(MdiFrame, CloseFromTheChildsOwnMenuReturnsThroughItsHandler)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QPointer<QWidget> child = frame.addChild(QStringLiteral("A"));
    auto *menu = child->findChild<MainMenu *>();
    QAction *close = menu->AddItem(menu->Items().front(), QStringLiteral("Schließen"), QString());
    QString titleAfterClose;
    QObject::connect(close, &QAction::triggered, child, [&] {
        frame.mdi.Close(child);
        titleAfterClose = child->windowTitle(); // still alive here
    });
    close->trigger();
    EXPECT_EQ(titleAfterClose, QStringLiteral("A"));
    ASSERT_TRUE(WaitFor([&] { return child.isNull(); }));
}

TEST(MdiFrame, ACloseHandlerMayOpenOtherChildrenWhileItRuns)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    int asked = 0;
    auto *form = new QWidget;
    QPointer<QWidget> closed = form;
    frame.mdi.AddChild(form, nullptr, QSize(200, 100), [&] {
        ++asked;
        for (int i = 0; i < 40; ++i)
            frame.addChild(QString::number(i));
        return caFree;
    });
    frame.mdi.Close(form);
    frame.mdi.Close(form);
    EXPECT_EQ(asked, 1) << "closing twice asks once";
    EXPECT_FALSE(closed.isNull());
    ASSERT_TRUE(WaitFor([&] { return closed.isNull(); }));
    EXPECT_EQ(frame.mdi.MDIChildCount(), 40);
}

TEST(MdiFrame, WhateverRunsWhileAChildIsTornDownSeesItOffTheList)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    frame.addChild(QStringLiteral("A"));
    QWidget *b = frame.addChild(QStringLiteral("B"));
    ASSERT_EQ(Screen->ActiveForm(), b);
    // The active child's frame deactivates itself as it goes, which moves the focus on and so
    // changes the active form.
    QStringList listed;
    const QObject listening; // gone before the frame
    const auto note = [&] {
        listed << frame.order().join(u',');
    };
    QObject::connect(Screen, &FormScreen::ActiveFormChanged, &listening, note);
    QObject::connect(frame.mdi.SubWindowOf(b), &QMdiSubWindow::windowStateChanged, &listening,
                     note);
    frame.mdi.Close(b);
    listed.clear();
    ASSERT_TRUE(WaitFor([&] { return frame.mdi.MDIChildCount() == 1; }));
    EXPECT_FALSE(listed.isEmpty());
    for (const QString &children : listed)
        EXPECT_EQ(children, QStringLiteral("A"));

    // A form destroyed on its own takes its frame along.
    QPointer<QMdiSubWindow> aFrame = frame.mdi.SubWindowOf(frame.mdi.MDIChildren(0));
    delete frame.mdi.MDIChildren(0);
    EXPECT_EQ(frame.mdi.MDIChildCount(), 0);
    EXPECT_TRUE(WaitFor([&] { return aFrame.isNull(); }));
}

TEST(MdiFrame, OtherCloseActions)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *kept = frame.addChild(QStringLiteral("bleibt"), caNone);
    QWidget *minimized = frame.addChild(QStringLiteral("klein"), caMinimize);
    frame.mdi.Close(kept);
    frame.mdi.Close(minimized);
    QTest::qWait(20);
    EXPECT_EQ(frame.mdi.MDIChildCount(), 2);
    EXPECT_TRUE(frame.mdi.IsMinimized(minimized));
    EXPECT_FALSE(frame.mdi.IsMinimized(kept));
}

TEST(MdiFrame, CloseBoxGoesThroughTheCloseHandler)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QPointer<QWidget> child = frame.addChild(QStringLiteral("A"));
    frame.mdi.SubWindowOf(child)->close();
    EXPECT_FALSE(child.isNull()) << "freed later, not at once";
    ASSERT_TRUE(WaitFor([&] { return child.isNull(); }));
    EXPECT_EQ(frame.mdi.MDIChildCount(), 0);
}

TEST(MdiFrame, FrontChildsMenuReplacesTheFramesBar)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    EXPECT_EQ(frame.bar(), QStringList{"&Rahmen"});
    QWidget *a = frame.addChild(QStringLiteral("A"));
    EXPECT_EQ(frame.bar(), QStringList{"&A"});
    QWidget *b = frame.addChild(QStringLiteral("B"));
    EXPECT_EQ(frame.bar(), QStringList{"&B"});
    frame.area->setActiveSubWindow(frame.mdi.SubWindowOf(a));
    EXPECT_EQ(frame.bar(), QStringList{"&A"});

    frame.mdi.Close(a);
    frame.mdi.Close(b);
    EXPECT_EQ(frame.bar(), QStringList{"&A"}) << "until the children are destroyed";
    ASSERT_TRUE(WaitFor([&] { return frame.mdi.MDIChildCount() == 0; }));
    EXPECT_EQ(frame.bar(), QStringList{"&Rahmen"});
}

TEST(MdiFrame, BoundsSetOnAMinimizedChildBecomeItsRestoredBounds)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *child = frame.addChild(QStringLiteral("A"));
    frame.mdi.SetBounds(child, QRect(10, 20, 300, 200));
    EXPECT_EQ(frame.mdi.SubWindowOf(child)->geometry(), QRect(10, 20, 300, 200));

    frame.mdi.Minimize(child);
    ASSERT_TRUE(frame.mdi.IsMinimized(child));
    frame.mdi.SetBounds(child, QRect(50, 60, 320, 240));
    EXPECT_TRUE(frame.mdi.IsMinimized(child)) << "stays minimized";
    EXPECT_EQ(frame.mdi.Bounds(child), QRect(50, 60, 320, 240));

    frame.mdi.SubWindowOf(child)->showNormal();
    ASSERT_TRUE(WaitFor([&] { return !frame.mdi.IsMinimized(child); }));
    EXPECT_EQ(frame.mdi.SubWindowOf(child)->geometry(), QRect(50, 60, 320, 240));
}

TEST(MdiFrame, ArrangeIconsLinesMinimizedChildrenUpAtTheBottom)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *a = frame.addChild(QStringLiteral("A"));
    QWidget *b = frame.addChild(QStringLiteral("B"));
    QWidget *c = frame.addChild(QStringLiteral("C"));
    frame.mdi.Minimize(a);
    frame.mdi.Minimize(b);
    frame.mdi.SetBounds(c, QRect(100, 100, 200, 150));
    frame.mdi.ArrangeIcons();
    const int bottom = frame.area->viewport()->height();
    const QRect first = frame.mdi.SubWindowOf(a)->geometry();
    const QRect second = frame.mdi.SubWindowOf(b)->geometry();
    EXPECT_EQ(first.bottom() + 1, bottom);
    EXPECT_EQ(second.bottom() + 1, bottom);
    EXPECT_EQ(first.left(), 0);
    EXPECT_EQ(second.left(), first.right() + 1);
    EXPECT_EQ(frame.mdi.SubWindowOf(c)->geometry(), QRect(100, 100, 200, 150));

    // Twenty icons need several rows: each row above the one below, none covering another.
    QList<QWidget *> icons = {a, b};
    for (int i = 0; i < 18; ++i)
        icons << frame.addChild(QString::number(i));
    for (QWidget *icon : icons)
        frame.mdi.Minimize(icon);
    frame.mdi.ArrangeIcons();
    QList<QRect> places;
    std::set<int> rows;
    for (QWidget *icon : icons) {
        const QRect place = frame.mdi.SubWindowOf(icon)->geometry();
        for (const QRect &other : places)
            EXPECT_FALSE(place.intersects(other)) << icon->windowTitle().toStdString();
        EXPECT_TRUE(frame.area->viewport()->rect().contains(place));
        places << place;
        rows.insert(place.bottom());
    }
    EXPECT_GE(rows.size(), 2u);
    EXPECT_EQ(*rows.rbegin() + 1, frame.area->viewport()->height())
        << "the first row at the bottom";
}

TEST(MdiFrame, ChildrenOpenedTogetherActivateOnlyTheLastWhenTheOpeningEnds)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QStringList activated;
    QObject::connect(frame.area, &QMdiArea::subWindowActivated, [&](QMdiSubWindow *window) {
        if (window)
            activated << window->widget()->windowTitle();
    });
    QWidget *c = nullptr;
    {
        const MdiFrame::Opening opening(frame.mdi);
        frame.addChild(QStringLiteral("A"));
        frame.addChild(QStringLiteral("B"));
        c = frame.addChild(QStringLiteral("C"));
        EXPECT_EQ(activated, QStringList()) << "nothing activated while the children open";
    }
    EXPECT_EQ(activated, QStringList{"C"});
    EXPECT_EQ(frame.area->activeSubWindow(), frame.mdi.SubWindowOf(c));
    EXPECT_EQ(QApplication::focusWidget(), c);
    EXPECT_EQ(frame.order(), (QStringList{"C", "B", "A"}));
    for (QMdiSubWindow *window : frame.area->subWindowList())
        EXPECT_TRUE(window->isEnabled()) << window->widget()->windowTitle().toStdString();

    // Alone, a child is activated as it opens.
    QWidget *d = frame.addChild(QStringLiteral("D"));
    EXPECT_EQ(activated.last(), QStringLiteral("D"));
    EXPECT_EQ(frame.area->activeSubWindow(), frame.mdi.SubWindowOf(d));
}

TEST(MdiFrame, SystemMenuShowsItsEntriesInGermanWithTheWindowsState)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *child = frame.addChild(QStringLiteral("A"));
    QMdiSubWindow *window = frame.mdi.SubWindowOf(child);

    const auto opened = [&] {
        window->showSystemMenu();
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QStringList entries;
        if (menu) {
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator() && action->isVisible())
                    entries << action->text() + (action->isEnabled() ? "" : " (aus)") +
                                   (action->shortcut().isEmpty()
                                        ? QString()
                                        : u' ' + action->shortcut().toString(
                                                     QKeySequence::NativeText));
            }
            menu->close();
        }
        return entries;
    };
    EXPECT_EQ(opened(),
              (QStringList{"Wieder&herstellen (aus)", "Ver&schieben", "&Größe", "M&inimieren",
                           "Ma&ximieren", "Im &Vordergrund bleiben", "Schl&ießen Strg+F4"}));
    frame.mdi.Minimize(child);
    ASSERT_TRUE(frame.mdi.IsMinimized(child));
    EXPECT_EQ(opened(), (QStringList{"Wieder&herstellen", "Ver&schieben (aus)", "&Größe (aus)",
                                     "M&inimieren (aus)", "Ma&ximieren", "Im &Vordergrund bleiben",
                                     "Schl&ießen Strg+F4"}))
        << "opened a second time, the entries are there once, in the state the window is in";

    // The keys belong to the close entry alone, whatever the platform's own keys for closing
    // are: every entry, separators and hidden ones too.
    window->showSystemMenu();
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QStringList keyed;
    for (QAction *action : menu->actions()) {
        for (const QKeySequence &keys : action->shortcuts())
            keyed << action->text() + u' ' + keys.toString(QKeySequence::PortableText);
    }
    menu->close();
    EXPECT_EQ(keyed, (QStringList{"Schl&ießen Ctrl+F4", "Schl&ießen Ctrl+W"}));
}

TEST(MdiFrame, CtrlF6AndCtrlTabGoToTheNextChildCtrlF4ClosesTheActiveOne)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    frame.addChild(QStringLiteral("A"));
    frame.addChild(QStringLiteral("B"));
    frame.addChild(QStringLiteral("C"));
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    struct Row
    {
        const char *name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QStringList order; // most recently focused first: the one that went comes last
    };
    const Row rows[] = {
        {"Ctrl+F6", Qt::Key_F6, ctrl, {"B", "A", "C"}},
        {"Ctrl+F6 again", Qt::Key_F6, ctrl, {"A", "C", "B"}},
        {"Ctrl+F6 round to the first", Qt::Key_F6, ctrl, {"C", "B", "A"}},
        {"Ctrl+Shift+F6", Qt::Key_F6, ctrlShift, {"A", "C", "B"}},
        {"Ctrl+Tab", Qt::Key_Tab, ctrl, {"C", "B", "A"}},
        {"Ctrl+Tab again", Qt::Key_Tab, ctrl, {"B", "A", "C"}},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, ctrlShift, {"C", "B", "A"}},
    };
    for (const Row &row : rows) {
        QTest::keyClick(QApplication::focusWidget(), row.key, row.modifiers);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control);
        EXPECT_EQ(frame.order(), row.order) << row.name;
        QWidget *front = frame.mdi.MDIChildren(0);
        EXPECT_EQ(frame.area->activeSubWindow(), frame.mdi.SubWindowOf(front)) << row.name;
        EXPECT_TRUE(front->isAncestorOf(QApplication::focusWidget()) ||
                    front == QApplication::focusWidget())
            << row.name << ": the focus goes along";
    }

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, ctrl);
    ASSERT_TRUE(WaitFor([&] { return frame.mdi.MDIChildCount() == 2; }));
    EXPECT_FALSE(frame.order().contains(QStringLiteral("C"))) << "Ctrl+F4 closed the active one";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, ctrl);
    EXPECT_TRUE(WaitFor([&] { return frame.mdi.MDIChildCount() == 1; })) << "Ctrl+W still does";
}

namespace {

// The style of a desktop that leaves the menu bar out of the keyboard's reach (GTK-like
// styles do).
class NoAltKeyNavigation : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *answer) const override
    {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

} // namespace

TEST(MdiFrame, F10AndALoneAltEnterTheMenuBar)
{
    auto *style = qobject_cast<QProxyStyle *>(QApplication::style());
    ASSERT_TRUE(style) << "the application's style wraps the desktop's";
    style->setBaseStyle(new NoAltKeyNavigation);
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *child = frame.addChild(QStringLiteral("A"));
    QMenuBar *bar = frame.window.menuBar();
    ASSERT_EQ(frame.bar(), QStringList{"&A"});
    struct Row
    {
        const char *name;
        std::function<void()> press;
    };
    const Row rows[] = {
        {"F10",
         [] {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
         }},
        {"a lone Alt",
         [] {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
         }},
    };
    for (const Row &row : rows) {
        ASSERT_EQ(QApplication::focusWidget(), child);
        row.press();
        EXPECT_EQ(QApplication::focusWidget(), bar) << row.name;
        EXPECT_EQ(bar->activeAction(), bar->actions().value(0)) << row.name << ": first entry";
        EXPECT_FALSE(QApplication::activePopupWidget()) << row.name << ": nothing drops down";
        QTest::keyClick(bar, Qt::Key_Escape);
        EXPECT_EQ(QApplication::focusWidget(), child) << row.name << ": Esc goes back";
    }
    // F10 in the menu bar leaves it, as Alt does.
    QTest::keyClick(child, Qt::Key_F10);
    ASSERT_EQ(QApplication::focusWidget(), bar);
    QTest::keyClick(bar, Qt::Key_F10);
    EXPECT_EQ(QApplication::focusWidget(), child);
    style->setBaseStyle(nullptr);
}

TEST(MdiFrame, TheTitleBarShowsTheFormsCaptionAsItIsNowWithoutTakingItAsTitle)
{
    TestFrame frame;
    ASSERT_TRUE(ShowActive(&frame.window));
    QWidget *child = frame.addChild(QStringLiteral("Laufwerksbelegung C:\\"));
    QMdiSubWindow *subWindow = frame.mdi.SubWindowOf(child);
    const auto *caption = dynamic_cast<const TitleBarCaption *>(subWindow);
    ASSERT_NE(caption, nullptr);
    const QFontMetrics metrics(subWindow->font());
    const int narrow = metrics.horizontalAdvance(QStringLiteral("Laufwerk…"));

    const QString elided = caption->TitleBarText(metrics, narrow);
    EXPECT_TRUE(elided.endsWith(QChar(0x2026)) && elided.size() < 21) << elided.toStdString();
    EXPECT_EQ(caption->TitleBarText(metrics, 400), QStringLiteral("Laufwerksbelegung C:\\"));
    child->setWindowTitle(QStringLiteral("Laufwerksbelegung D:\\"));
    EXPECT_EQ(caption->TitleBarText(metrics, 400), QStringLiteral("Laufwerksbelegung D:\\"))
        << "the same width, the new caption";
    EXPECT_TRUE(subWindow->windowTitle().isEmpty());
}
