#include "../../gui_helpers.h"
#include "number_format.h"
#include "spin_edit.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

namespace {

// A spin field for rows (1..4) beside another control to leave it for.
struct Field
{
    Field()
    {
        window.resize(200, 100);
        spin->setGeometry(12, 23, 41, 22);
        other->setGeometry(100, 23, 60, 22);
    }
    QWidget window;
    TSpinEdit *spin = new TSpinEdit(1, 4, 2, &window);
    QPushButton *other = new QPushButton(QStringLiteral("&anders"), &window);
};

} // namespace

TEST(SpinEdit, ReadingRule)
{
    struct Row
    {
        const char *name;
        QString text;
        int value;
        int grid;
    };
    const Row rows[] = {
        {"plain", "3", 3, 3},
        {"above the bounds", "9", 9, 4},
        {"zero", "0", 0, 1},
        {"negative", "-3", -3, 1},
        {"signed", "+2", 2, 2},
        {"empty", "", 1, 1},
        {"lone minus", "-", 1, 1},
        {"lone plus", "+", 1, 1},
        {"decimal comma", "2,5", 1, 1},
        {"decimal point", "2.5", 1, 1},
        {"letters", "abc", 1, 1},
        {"space inside", "2 ", 1, 1},
        {"largest int", "2147483647", 2147483647, 4},
        {"smallest int", "-2147483648", -2147483647 - 1, 1},
        {"beyond 32 bits", "99999999999", 1, 1},
        {"just beyond", "2147483648", 1, 1},
        {"ten thousand characters", QString(10000, u'7'), 1, 1},
        {"full-width digits", QStringLiteral("\uFF13"), 1, 1},
    };
    TSpinEdit spin(1, 4, 2);
    for (const Row &row : rows) {
        spin.setText(row.text);
        EXPECT_EQ(spin.Value(), row.value) << row.name;
        EXPECT_EQ(spin.GridValue(), row.grid) << row.name;
        EXPECT_EQ(spin.text(), row.text) << row.name << ": reading changes nothing";
    }
}

TEST(SpinEdit, TypingAcceptsDigitsSignsAndTheDecimalSeparatorOnly)
{
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    field.spin->setFocus();
    QSignalSpy beeps(field.spin, &TSpinEdit::refused);

    struct Row
    {
        const char *name;
        QString typed;
        QString text;
        int beeps;
    };
    const Row rows[] = {
        {"digits", "34", "34", 0},     {"signs", "-+", "-+", 0},  {"letters refused", "ab", "", 2},
        {"space refused", " ", "", 1}, {"mixed", "1x2", "12", 1},
    };
    for (const Row &row : rows) {
        field.spin->clear();
        beeps.clear();
        QTest::keyClicks(field.spin, row.typed);
        EXPECT_EQ(field.spin->text(), row.text) << row.name;
        EXPECT_EQ(beeps.count(), row.beeps) << row.name;
    }

    // The decimal separator of the user's locale passes, the other one not.
    const NumberSeparators before = NumberSeparatorsInForce();
    SetNumberSeparators({".", ","});
    field.spin->clear();
    beeps.clear();
    QTest::keyClicks(field.spin, QStringLiteral("2,5."));
    EXPECT_EQ(field.spin->text(), QStringLiteral("2,5"));
    EXPECT_EQ(beeps.count(), 1);
    SetNumberSeparators(before);

    field.spin->setText(QStringLiteral("3"));
    beeps.clear();
    QTest::keyClick(field.spin, Qt::Key_Return);
    EXPECT_EQ(beeps.count(), 1) << "Enter is refused";
    QTest::keyClick(field.spin, Qt::Key_Backspace);
    EXPECT_EQ(field.spin->text(), QString()) << "Backspace passes";
}

TEST(SpinEdit, EveryWayOfTypingGoesThroughTheSameRule)
{
    Field field;
    int otherClicks = 0;
    QObject::connect(field.other, &QPushButton::clicked, [&] { ++otherClicks; });
    ASSERT_TRUE(ShowActive(&field.window));
    field.spin->setFocus();
    QSignalSpy beeps(field.spin, &TSpinEdit::refused);
    // A dead key (´ then e) or a compose sequence: a preedit, then the committed text.
    const auto compose = [&](const QString &preedit, const QString &committed) {
        QInputMethodEvent pending(preedit, {});
        QApplication::sendEvent(field.spin, &pending);
        QInputMethodEvent done;
        done.setCommitString(committed);
        QApplication::sendEvent(field.spin, &done);
    };
    struct Row
    {
        const char *name;
        std::function<void()> type;
        QString text;
        int beeps;
    };
    const Row rows[] = {
        {"Alt+letter refused", [&] { QTest::keyClick(field.spin, Qt::Key_B, Qt::AltModifier); },
         "2", 1},
        {"AltGr+Q (@) refused", [&] { QTest::keyClick(field.spin, '@', Qt::GroupSwitchModifier); },
         "2", 1},
        {"dead key then e refused", [&] { compose(QStringLiteral("\u00B4"), "\u00E9"); }, "2", 1},
        {"compose ^ a refused", [&] { compose("^", QStringLiteral("\u00E2")); }, "2", 1},
        {"a digit through the input method passes", [&] { compose(QString(), "5"); }, "25", 0},
        {"Alt+access key works as the access key",
         [&] { QTest::keyClick(field.spin, Qt::Key_A, Qt::AltModifier); }, "2", 0},
        {"Ctrl+A still selects",
         [&] { QTest::keyClick(field.spin, Qt::Key_A, Qt::ControlModifier); }, "2", 0},
    };
    for (const Row &row : rows) {
        field.spin->setText(QStringLiteral("2"));
        field.spin->setCursorPosition(1);
        beeps.clear();
        row.type();
        EXPECT_EQ(field.spin->text(), row.text) << row.name;
        EXPECT_EQ(beeps.count(), row.beeps) << row.name;
    }
    EXPECT_TRUE(WaitFor([&] { return otherClicks == 1; })) << "Alt+A pressed \"&anders\"";
    EXPECT_EQ(field.spin->selectedText(), QStringLiteral("2")) << "Ctrl+A selected all";
}

TEST(SpinEdit, PastedTextStaysAsItIs)
{
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    field.spin->setFocus();
    field.spin->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("zwei"));
    field.spin->paste();
    EXPECT_EQ(field.spin->text(), QStringLiteral("zwei"));
    EXPECT_EQ(field.spin->GridValue(), 1);
}

TEST(SpinEdit, ArrowKeysAndButtonsStepWithinTheBounds)
{
    struct Row
    {
        const char *name;
        QString text;
        bool up;
        QString after;
    };
    const Row rows[] = {
        {"up", "2", true, "3"},
        {"down", "2", false, "1"},
        {"up at 4 stays", "4", true, "4"},
        {"down at 1 stays", "1", false, "1"},
        {"empty counts as 1", "", true, "2"},
        {"lone minus counts as 1", "-", true, "2"},
        {"9 up", "9", true, "4"},
        {"9 down", "9", false, "4"},
        {"0 down", "0", false, "1"},
    };
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    for (const Row &row : rows) {
        field.spin->setText(row.text);
        QTest::keyClick(field.spin, row.up ? Qt::Key_Up : Qt::Key_Down);
        EXPECT_EQ(field.spin->text(), row.after) << row.name << " by key";

        field.other->setFocus();
        field.spin->setText(row.text);
        QToolButton *arrow = row.up ? field.spin->UpButton() : field.spin->DownButton();
        QTest::mouseClick(arrow, Qt::LeftButton);
        EXPECT_EQ(field.spin->text(), row.after) << row.name << " by button";
        EXPECT_TRUE(field.spin->hasFocus()) << "pressing an arrow moves the focus in";
    }
}

TEST(SpinEdit, HeldArrowRepeatsAfter400MsThenEvery100Ms)
{
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    field.spin->setText(QStringLiteral("1"));
    QToolButton *up = field.spin->UpButton();
    EXPECT_EQ(up->autoRepeatDelay(), 400);
    EXPECT_EQ(up->autoRepeatInterval(), 100);

    QTest::mousePress(up, Qt::LeftButton);
    QTest::qWait(300);
    EXPECT_EQ(field.spin->text(), QStringLiteral("1")) << "nothing before 400 ms";
    ASSERT_TRUE(WaitFor([&] { return field.spin->text() == QStringLiteral("2"); }, 300));
    ASSERT_TRUE(WaitFor([&] { return field.spin->text() == QStringLiteral("4"); }, 400));
    QTest::qWait(250);
    QTest::mouseRelease(up, Qt::LeftButton);
    EXPECT_EQ(field.spin->text(), QStringLiteral("4"));
}

TEST(SpinEdit, LeavingTheFieldBringsNumbersIntoTheBounds)
{
    struct Row
    {
        const char *name;
        QString text;
        QString after;
    };
    const Row rows[] = {{"9 becomes 4", "9", "4"},     {"0 becomes 1", "0", "1"},
                        {"-3 becomes 1", "-3", "1"},   {"3 stays", "3", "3"},
                        {"2,5 stays", "2,5", "2,5"},   {"empty stays", "", ""},
                        {"letters stay", "abc", "abc"}};
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    for (const Row &row : rows) {
        field.spin->setFocus();
        field.spin->setText(row.text);
        QTest::keyClick(&field.window, Qt::Key_Tab);
        EXPECT_TRUE(field.other->hasFocus());
        EXPECT_EQ(field.spin->text(), row.after) << row.name;
    }

    // Switching to another program is no leaving of the field.
    field.spin->setFocus();
    field.spin->setText(QStringLiteral("7"));
    EXPECT_EQ(field.spin->GridValue(), 4) << "a value read while 7 still shows";
    QWidget otherProgram;
    ASSERT_TRUE(ShowActive(&otherProgram));
    EXPECT_EQ(field.spin->text(), QStringLiteral("7"));
}

TEST(SpinEdit, KeyboardEntrySelectsAllAClickPlacesTheCaret)
{
    Field field;
    ASSERT_TRUE(ShowActive(&field.window));
    field.spin->setText(QStringLiteral("3"));
    field.other->setFocus();
    QTest::keyClick(&field.window, Qt::Key_Backtab);
    ASSERT_TRUE(field.spin->hasFocus());
    EXPECT_EQ(field.spin->selectedText(), QStringLiteral("3"));
    QTest::keyClicks(field.spin, QStringLiteral("2"));
    EXPECT_EQ(field.spin->text(), QStringLiteral("2"));

    field.other->setFocus();
    QTest::mouseClick(field.spin, Qt::LeftButton, {}, QPoint(5, 11));
    ASSERT_TRUE(field.spin->hasFocus());
    EXPECT_EQ(field.spin->selectedText(), QString());
}
