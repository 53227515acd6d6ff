#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <vector>

class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QWidget;
class MainMenu;

// What a form's close handler decides.
enum CloseAction { caNone, caHide, caFree, caMinimize };

// The child forms of a frame: opened in its client area, listed most recently focused first,
// closed by their close handler's action (a freed child is destroyed once control is back in
// the event loop and stays visible and listed until then), and the menu bar showing the menu of
// the child in front, or the frame's own when there is none. The keys of an MDI desktop work in
// the frame's window: F10 (like a lone Alt) enters the menu bar, Ctrl+F4 closes the active
// child, Ctrl+F6 and Ctrl+Tab go to the next child and, with Shift, to the previous one.
class MdiFrame : public QObject
{
    Q_OBJECT

public:
    MdiFrame(QMdiArea *area, QMenuBar *bar, MainMenu *frameMenu, QObject *parent = nullptr);

    // Opens `form` as a child with the given client size; it becomes the active child, takes
    // the focus and goes to the front of the list. Inside an Opening, only the child in front
    // is activated and focused, when the Opening ends.
    void AddChild(QWidget *form, MainMenu *menu, QSize clientSize,
                  std::function<CloseAction()> onClose);

    // Opens or places several children at once. Activating a child deactivates every other
    // one, so opening n children one by one took n * n / 2 deactivations; the end state is the
    // same.
    class Opening
    {
    public:
        explicit Opening(MdiFrame &frame);
        ~Opening();
        Opening(const Opening &) = delete;
        Opening &operator=(const Opening &) = delete;

    private:
        MdiFrame &frame;
    };

    int MDIChildCount() const { return static_cast<int>(children.size()); }
    QWidget *MDIChildren(int index) const;

    void Close(QWidget *child);

    // Bounds of the frame around a child in the client area's own coordinates, from its
    // top-left corner with the scroll bars at their origin. Set on a minimized or maximized
    // child they become its restored bounds.
    QRect Bounds(QWidget *child) const;
    bool IsMinimized(QWidget *child) const;

    // The arrangements. Each first scrolls the client area back to its origin, so that what it
    // lays out starts at the visible top-left corner; the scroll bars then show only while a
    // child lies outside the visible area.
    void SetBounds(QWidget *child, const QRect &bounds);
    void Minimize(QWidget *child);
    void Cascade();
    // Lines the minimized children up along the bottom of the client area, row above row.
    void ArrangeIcons();

    QMdiSubWindow *SubWindowOf(QWidget *child) const;
    QMdiArea *Area() const { return area; }

signals:
    void ChildrenChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Child
    {
        QMdiSubWindow *frame = nullptr;
        QWidget *form = nullptr;
        MainMenu *menu = nullptr;
        std::function<CloseAction()> onClose;
        bool closing = false;
        QRect restoredBounds; // valid while minimized or maximized with bounds set
    };
    static bool isAway(const Child &entry);
    Child *find(const QWidget *child);
    const Child *find(const QWidget *child) const;
    void toFront(QMdiSubWindow *frame);
    void removeChild(QMdiSubWindow *frame);
    void showMenu();
    void showMenuNow();
    void activate(const Child &child);
    void toOrigin();
    QPoint scrolled() const;
    void enterMenuBar();
    void activateNext();
    void activatePrevious();

    QMdiArea *area;
    // The bar and the menus may go before the children when the whole frame is torn down.
    QPointer<QMenuBar> bar;
    QPointer<MainMenu> frameMenu;
    MainMenu *shownMenu = nullptr;
    bool menuQueued = false;
    int openings = 0;
    bool openedInOpening = false;
    std::vector<Child> children;
};
