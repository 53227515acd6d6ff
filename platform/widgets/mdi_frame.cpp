#include "mdi_frame.h"

#include "accessible.h"
#include "application.h"
#include "main_menu.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QShortcut>

#include <algorithm>

namespace {

// A child's frame that shows the form's caption in its title bar without taking it as its
// title. QMdiSubWindow measures and elides its title text at nearly every event it handles (a
// hundred and more while a child opens), which made opening drive windows slow; this frame
// keeps its own title empty, takes the caption from the form, and elides it only when the
// title bar is drawn, once per width.
class ChildFrame : public QMdiSubWindow, public TitleBarCaption
{
public:
    explicit ChildFrame(QWidget *form)
    {
        setWidget(form);
        caption = form->windowTitle();
        setWindowTitle(QString());
        // The system menu gets its entries back when it is first opened. QMdiSubWindow sets
        // their visibility at each change of state, and each change made the closed menu
        // redo its entries, some 400,000 instructions for every window that opens.
        QMenu *menu = systemMenu();
        systemEntries = menu->actions();
        for (QAction *entry : std::as_const(systemEntries))
            menu->removeAction(entry);
        // The last entry closes the window. Its keys are the platform's, Ctrl+W alone on X11;
        // an MDI user's hands know Ctrl+F4, and the menu shows the first.
        if (!systemEntries.isEmpty()) {
            systemEntries.last()->setShortcuts(
                {QKeySequence(Qt::CTRL | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_W)});
        }
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            if (menu->isEmpty())
                menu->addActions(systemEntries);
        });
    }

    ~ChildFrame() override
    {
        if (gone)
            gone(this);
    }

    // Called first thing as the frame is torn down, before it deactivates itself and before
    // its form goes.
    void SetGone(std::function<void(QMdiSubWindow *)> handler) { gone = std::move(handler); }

    QString Caption() const { return caption; }

    QString TitleBarText(const QFontMetrics &metrics, int width) const override
    {
        if (elided.isNull() || elidedWidth != width) {
            elided = metrics.elidedText(caption, Qt::ElideRight, width);
            elidedWidth = width;
        }
        return elided;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == widget() && event->type() == QEvent::WindowTitleChange) {
            caption = widget()->windowTitle();
            elided = QString();
            update();
            return false;
        }
        // A form's own icon shows in its title bar; without one, the program's. The frame's
        // new icon comes back down to the form as a change of its own: once is enough.
        if (watched == widget() && event->type() == QEvent::WindowIconChange && !iconChanging) {
            const QIcon icon = widget()->testAttribute(Qt::WA_SetWindowIcon)
                                   ? widget()->windowIcon()
                                   : QApplication::windowIcon();
            if (icon.cacheKey() != windowIcon().cacheKey()) {
                iconChanging = true;
                setWindowIcon(icon);
                iconChanging = false;
            }
            return false;
        }
        return QMdiSubWindow::eventFilter(watched, event);
    }

private:
    std::function<void(QMdiSubWindow *)> gone;
    QList<QAction *> systemEntries;
    QString caption;
    mutable QString elided;
    mutable int elidedWidth = -1;
    bool iconChanging = false;
};

// A screen reader reads the caption as the window's name, as it would a title.
class ChildFrameAccessible : public QAccessibleWidget
{
public:
    explicit ChildFrameAccessible(ChildFrame *frame) : QAccessibleWidget(frame, QAccessible::Window)
    {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<ChildFrame *>(widget())->Caption();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *childFrameAccessible(const QString &, QObject *object)
{
    if (auto *frame = dynamic_cast<ChildFrame *>(object))
        return new ChildFrameAccessible(frame);
    return nullptr;
}

} // namespace

MdiFrame::MdiFrame(QMdiArea *area, QMenuBar *bar, MainMenu *frameMenu, QObject *parent)
    : QObject(parent), area(area), bar(bar), frameMenu(frameMenu)
{
    InstallAccessibleFactoryOnce<childFrameAccessible>();
    // As soon as a child lies outside the client area, scroll bars lead to it.
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(area, &QMdiArea::subWindowActivated, this, &MdiFrame::toFront);
    // Ctrl+Tab in a QMdiArea switches back and forth between the last two children and shows
    // a rubber band while Ctrl is held; the shortcut comes first and goes round all of them.
    const struct
    {
        QKeyCombination keys;
        void (MdiFrame::*handler)();
    } keys[] = {
        {Qt::Key_F10, &MdiFrame::enterMenuBar},
        {Qt::CTRL | Qt::Key_F6, &MdiFrame::activateNext},
        {Qt::CTRL | Qt::Key_Tab, &MdiFrame::activateNext},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_F6, &MdiFrame::activatePrevious},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, &MdiFrame::activatePrevious},
    };
    for (const auto &[combination, handler] : keys)
        connect(new QShortcut(QKeySequence(combination), area), &QShortcut::activated, this,
                handler);
    showMenuNow();
    // A child whose control takes the focus (a click into it) becomes the active child.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        for (QWidget *widget = now; widget; widget = widget->parentWidget()) {
            if (auto *frame = qobject_cast<QMdiSubWindow *>(widget); frame && find(frame)) {
                if (this->area->activeSubWindow() != frame)
                    this->area->setActiveSubWindow(frame);
                toFront(frame);
                return;
            }
        }
    });
    showMenu();
}

MdiFrame::Child *MdiFrame::find(const QWidget *child)
{
    const auto it = std::find_if(children.begin(), children.end(), [child](const Child &entry) {
        return entry.form == child || entry.frame == child;
    });
    return it == children.end() ? nullptr : &*it;
}

const MdiFrame::Child *MdiFrame::find(const QWidget *child) const
{
    return const_cast<MdiFrame *>(this)->find(child);
}

QWidget *MdiFrame::MDIChildren(int index) const
{
    return children.at(static_cast<size_t>(index)).form;
}

QMdiSubWindow *MdiFrame::SubWindowOf(QWidget *child) const
{
    const Child *entry = find(child);
    return entry ? entry->frame : nullptr;
}

void MdiFrame::AddChild(QWidget *form, MainMenu *menu, QSize clientSize,
                        std::function<CloseAction()> onClose)
{
    // A click anywhere in a child focuses it, and so makes it the active child.
    if (form->focusPolicy() == Qt::NoFocus)
        form->setFocusPolicy(Qt::ClickFocus);
    auto *frame = new ChildFrame(form);
    frame->setWindowIcon(QApplication::windowIcon());
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->installEventFilter(this);
    children.insert(children.begin(), {frame, form, menu, std::move(onClose), false, {}});
    // A child leaves the list before anything else happens as it goes: deactivating its frame
    // moves the focus on, and whatever that runs must not find a child half torn down.
    frame->SetGone([frames = QPointer<MdiFrame>(this)](QMdiSubWindow *gone) {
        if (frames)
            frames->removeChild(gone);
    });
    connect(form, &QObject::destroyed, this, [this, frame] {
        if (find(frame)) {
            removeChild(frame);
            frame->deleteLater();
        }
    });
    // Bounds set while minimized or maximized take effect when the child is restored.
    connect(frame, &QMdiSubWindow::windowStateChanged, this,
            [this, frame](Qt::WindowStates before, Qt::WindowStates now) {
                constexpr Qt::WindowStates away = Qt::WindowMinimized | Qt::WindowMaximized;
                Child *entry = find(frame);
                if (entry && (before & away) && !(now & away) && entry->restoredBounds.isValid()) {
                    frame->setGeometry(entry->restoredBounds.translated(-scrolled()));
                    entry->restoredBounds = QRect();
                }
            });

    area->addSubWindow(frame);
    // A frame activates itself when shown, and each activation deactivates every other child;
    // a disabled frame does not, so inside an Opening it is shown disabled and activated later.
    const bool inOpening = openings > 0;
    frame->setAttribute(Qt::WA_Disabled, inOpening);
    frame->show();
    frame->setAttribute(Qt::WA_Disabled, false);
    // The frame's margins hold its border and title bar; the form gets its client size.
    const QMargins margins = frame->contentsMargins();
    frame->resize(clientSize.grownBy(margins));
    if (inOpening)
        openedInOpening = true;
    else
        activate(children.front());
    toFront(frame);
    emit ChildrenChanged();
}

void MdiFrame::activate(const Child &child)
{
    // Activating reorders the list under `child`: hold on to what it names first.
    QWidget *form = child.form;
    area->setActiveSubWindow(child.frame);
    form->setFocus(Qt::OtherFocusReason);
}

MdiFrame::Opening::Opening(MdiFrame &frame) : frame(frame)
{
    ++frame.openings;
}

MdiFrame::Opening::~Opening()
{
    if (--frame.openings > 0)
        return;
    if (!frame.openedInOpening)
        return;
    frame.openedInOpening = false;
    if (!frame.children.empty())
        frame.activate(frame.children.front());
}

void MdiFrame::enterMenuBar()
{
    // The menu bar enters its keyboard mode on a lone Alt only, through an event filter of its
    // own; F10 hands it the same two events. A modifier key's event reports its own modifier
    // flipped: made without Alt, it says Alt is down.
    if (!bar || !bar->isVisible())
        return;
    QKeyEvent alt(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(bar->window(), &alt);
    QKeyEvent released(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(bar->window(), &released);
}

void MdiFrame::activateNext()
{
    // As the desktop's MDI does it: the active child goes to the back, so that pressing on
    // goes round all of them.
    if (children.size() < 2)
        return;
    std::rotate(children.begin(), children.begin() + 1, children.end());
    activate(children.front());
}

void MdiFrame::activatePrevious()
{
    if (children.size() < 2)
        return;
    activate(children.back());
}

void MdiFrame::toFront(QMdiSubWindow *frame)
{
    const auto it = std::find_if(children.begin(), children.end(),
                                 [frame](const Child &entry) { return entry.frame == frame; });
    if (it == children.end())
        return;
    std::rotate(children.begin(), it, it + 1);
    showMenu();
}

void MdiFrame::removeChild(QMdiSubWindow *frame)
{
    const auto gone = std::remove_if(children.begin(), children.end(),
                                     [frame](const Child &entry) { return entry.frame == frame; });
    if (gone == children.end())
        return;
    children.erase(gone, children.end());
    showMenu();
    emit ChildrenChanged();
}

void MdiFrame::showMenu()
{
    // Rebuilding the bar is dear: a refresh opening 24 children rebuilds it once, as soon as
    // control is back in the event loop.
    if (!menuQueued) {
        menuQueued = true;
        QMetaObject::invokeMethod(this, &MdiFrame::showMenuNow, Qt::QueuedConnection);
    }
}

void MdiFrame::showMenuNow()
{
    menuQueued = false;
    MainMenu *menu = children.empty() ? frameMenu.data() : children.front().menu;
    if (menu == shownMenu || !bar)
        return;
    shownMenu = menu;
    bar->clear();
    if (menu) {
        for (QMenu *item : menu->Items())
            bar->addMenu(item);
    }
}

void MdiFrame::Close(QWidget *child)
{
    const Child *asked = find(child);
    if (!asked || asked->closing)
        return;
    // The close handler may open or close children, which moves the list in memory: it runs
    // from a copy, and the entry is looked up again afterwards.
    const QPointer<QMdiSubWindow> frame = asked->frame;
    const std::function<CloseAction()> onClose = asked->onClose;
    const CloseAction action = onClose ? onClose() : caMinimize;
    Child *entry = frame ? find(frame) : nullptr;
    if (!entry || entry->closing)
        return;
    switch (action) {
    case caFree:
        // Destroyed once control is back in the event loop; visible and listed until then.
        entry->closing = true;
        entry->frame->deleteLater();
        break;
    case caHide:
        entry->frame->hide();
        break;
    case caMinimize:
        entry->frame->showMinimized();
        break;
    case caNone:
        break;
    }
}

QRect MdiFrame::Bounds(QWidget *child) const
{
    const Child *entry = find(child);
    if (!entry)
        return {};
    if (isAway(*entry) && entry->restoredBounds.isValid())
        return entry->restoredBounds;
    return entry->frame->geometry().translated(scrolled());
}

QPoint MdiFrame::scrolled() const
{
    return {area->horizontalScrollBar()->value(), area->verticalScrollBar()->value()};
}

void MdiFrame::toOrigin()
{
    // The area scrolls by moving its children; a layout made while it is scrolled starts where
    // the user scrolled to, and leaves an empty band above it that the scroll bar still offers.
    area->horizontalScrollBar()->setValue(0);
    area->verticalScrollBar()->setValue(0);
}

void MdiFrame::SetBounds(QWidget *child, const QRect &bounds)
{
    Child *entry = find(child);
    if (!entry)
        return;
    toOrigin();
    // A minimized child stays an icon and a maximized one keeps filling the area; the bounds
    // wait for the child to be restored.
    if (isAway(*entry))
        entry->restoredBounds = bounds;
    else
        entry->frame->setGeometry(bounds);
}

bool MdiFrame::isAway(const Child &entry)
{
    return entry.frame->isMinimized() || entry.frame->isMaximized();
}

bool MdiFrame::IsMinimized(QWidget *child) const
{
    const Child *entry = find(child);
    return entry && entry->frame->isMinimized();
}

void MdiFrame::Minimize(QWidget *child)
{
    if (Child *entry = find(child)) {
        // The icons go to the bottom of the visible area, and stay there while it scrolls.
        toOrigin();
        if (!isAway(*entry))
            entry->restoredBounds = entry->frame->geometry();
        entry->frame->showMinimized();
    }
}

void MdiFrame::Cascade()
{
    toOrigin();
    area->cascadeSubWindows();
}

void MdiFrame::ArrangeIcons()
{
    toOrigin();
    // Oldest first, left to right along the bottom; a full row goes on in the row above.
    const QSize room = area->viewport()->size();
    int left = 0;
    int bottom = room.height();
    int rowHeight = 0;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (!it->frame->isMinimized())
            continue;
        const QSize size = it->frame->size();
        if (left > 0 && left + size.width() > room.width()) {
            left = 0;
            bottom -= rowHeight;
            rowHeight = 0;
        }
        it->frame->move(left, bottom - size.height());
        left += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}

bool MdiFrame::eventFilter(QObject *watched, QEvent *event)
{
    // The close box and the system menu close a child through its close handler too.
    if (event->type() == QEvent::Close) {
        if (auto *frame = qobject_cast<QMdiSubWindow *>(watched); frame && find(frame)) {
            event->ignore();
            Close(frame);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
