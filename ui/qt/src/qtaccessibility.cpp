// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology is given for the game window: one factory for
// the client area, the text boxes, the labels and the announcer, each
// deciding from the window's design.
#include "cifrelle/ui/qt/qtaccessibility.h"

#include "cifrelle/ui/formdesign.h"

#include "qtaccessibility_platform.h"
#include "qthelpers.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <map>

namespace cifrelle::ui {

namespace {

std::map<const QObject*, std::function<QString()>>& descriptionSources()
{
    static std::map<const QObject*, std::function<QString()>> sources;
    return sources;
}

bool named(const QObject* object, std::string_view name)
{
    return object->objectName().toUtf8() == QByteArray(name.data(), std::ssize(name));
}

// The design of a control of the game, a widget lying on the window's client
// area, or none. Asked each time: the widgets get their names only after
// they are made, and an interface once made is kept.
const ControlDesign* designOfControl(const QObject* widget)
{
    const QObject* area = widget->parent();
    if (!area || !named(area, windowDesign().clientAreaName))
        return nullptr;
    const auto control = controlNamed(widget->objectName().toStdString());
    return control ? &designOf(*control) : nullptr;
}

bool isKeptHidden(const QObject* widget)
{
    const ControlDesign* design = designOfControl(widget);
    return design && design->keptHidden;
}

// A plain widget, as Qt gives it; the client area of the game window leaves
// out of its children the controls the design keeps hidden.
class AreaAccessible : public QAccessibleWidget {
public:
    explicit AreaAccessible(QWidget* widget) : QAccessibleWidget(widget) {}

    int childCount() const override { return static_cast<int>(shown().size()); }
    QAccessibleInterface* child(int index) const override { return shown().value(index); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return static_cast<int>(shown().indexOf(child));
    }

private:
    QList<QAccessibleInterface*> shown() const
    {
        QList<QAccessibleInterface*> children;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface* child = QAccessibleWidget::child(i);
            if (child && !isKeptHidden(child->object()))
                children.append(child);
        }
        return children;
    }
};

// A control of the game window. One the design keeps hidden is not valid:
// Qt then sends nothing of it (not even the text changes of the answer key)
// and a screen reader can ask it nothing, even by its object path. (Every
// kind of control the design keeps hidden has its class here: Qt's own would
// answer.)
class ControlAccessible : public QAccessibleWidget {
public:
    ControlAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    bool isValid() const override
    {
        return QAccessibleWidget::isValid() && !isKeptHidden(widget());
    }
};

// A frame of the game, read by its caption as Qt reads a group box.
class FrameAccessible : public ControlAccessible {
public:
    explicit FrameAccessible(QGroupBox* frame) : ControlAccessible(frame, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return unescapeMnemonics(static_cast<const QGroupBox*>(widget())->title());
        return QAccessibleWidget::text(t);
    }
};

// A text box of the game as assistive technology sees it: an editable (or
// read-only) one-line text.
class TextBoxAccessible : public ControlAccessible,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit TextBoxAccessible(QLineEdit* edit) : ControlAccessible(edit, QAccessible::EditableText)
    {
    }

    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return edit()->text();
        if (t == QAccessible::Description) {
            const auto found = descriptionSources().find(edit());
            if (found != descriptionSources().end())
                return found->second();
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (edit()->isReadOnly())
            s.readOnly = true;
        else
            s.editable = true;
        s.selectableText = true;
        return s;
    }

    // Selection.
    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index != 0 || !edit()->hasSelectedText())
            return;
        *start = edit()->selectionStart();
        *end = *start + static_cast<int>(edit()->selectedText().size());
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            edit()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            edit()->setSelection(start, end - start);
    }

    // Caret.
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }

    // Text.
    QString text(int start, int end) const override
    {
        if (end == -1)
            end = characterCount();
        if (start < 0 || start > end)
            return {};
        return edit()->text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(edit()->text().size()); }

    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override
    {
        return QAccessibleTextInterface::textBeforeOffset(usable(offset, type), type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override
    {
        return QAccessibleTextInterface::textAfterOffset(usable(offset, type), type, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override
    {
        const int count = characterCount();
        if (type != QAccessible::CharBoundary && count > 0 && offset >= count) {
            // Qt's word and sentence search never returns from the end of
            // the text: the unit there is the last one.
            return QAccessibleTextInterface::textAtOffset(count - 1, type, start, end);
        }
        return QAccessibleTextInterface::textAtOffset(usable(offset, type), type, start, end);
    }

    // Geometry: the text is drawn on one line inside the frame, aligned as
    // the box says.
    QRect characterRect(int offset) const override
    {
        const QString all = edit()->text();
        if (offset < 0 || offset >= all.size())
            return {};
        const QFontMetrics metrics(edit()->font());
        const QRect inner = textArea();
        const int width = metrics.horizontalAdvance(all);
        int left = inner.left();
        if (edit()->alignment() & Qt::AlignHCenter)
            left = inner.left() + (inner.width() - width) / 2;
        else if (edit()->alignment() & Qt::AlignRight)
            left = inner.right() - width;
        const int x = left + metrics.horizontalAdvance(all.left(offset));
        const int w = metrics.horizontalAdvance(all.at(offset));
        const int top = inner.top() + (inner.height() - metrics.height()) / 2;
        const QRect local(x, top, w, metrics.height());
        return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int end) override { edit()->setCursorPosition(end); }

    // No formatting inside the text: one run of no attributes covers it all.
    QString attributes(int offset, int* start, int* end) const override
    {
        const int count = characterCount();
        if (offset < 0 || offset > count) {
            *start = *end = -1;
            return {};
        }
        *start = 0;
        *end = count;
        return {};
    }

    // Editing.
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override
    {
        if (edit()->isReadOnly())
            return;
        QString all = edit()->text();
        all.replace(start, end - start, text);
        edit()->setText(all);
    }

private:
    int usable(int offset, QAccessible::TextBoundaryType) const
    {
        if (offset == -2)
            return cursorPosition();
        return std::clamp(offset, 0, characterCount());
    }

    QRect textArea() const
    {
        QStyleOptionFrame option;
        option.initFrom(edit());
        option.rect = edit()->contentsRect();
        option.lineWidth =
            edit()->hasFrame()
                ? edit()->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit())
                : 0;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        return edit()->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit());
    }
};

// A label read as it says, after the caption of its meaning when it has one;
// a repeat of the feedback message says nothing and is passed over.
class LabelAccessible : public ControlAccessible {
public:
    explicit LabelAccessible(QLabel* label) : ControlAccessible(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto* label = static_cast<const QLabel*>(widget());
        const ControlDesign* design = designOfControl(label);
        if (!design)
            return label->text();
        if (design->feedback == Feedback::repeat)
            return {};
        const QLabel* meaning = nullptr;
        if (design->meaning) {
            const std::string_view name = controlName(*design->meaning);
            meaning = label->parentWidget()->findChild<QLabel*>(
                QString::fromUtf8(name.data(), std::ssize(name)), Qt::FindDirectChildrenOnly);
        }
        return meaning ? meaning->text() + QLatin1Char(' ') + label->text() : label->text();
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const ControlDesign* design = designOfControl(widget());
        if (design && design->feedback == Feedback::repeat)
            s.invisible = true;
        return s;
    }
};

// An invisible widget of the window that assistive technology sees as a
// notification. Screen readers speak a notification as it is shown (Orca
// does at once, whatever has the focus), and take nothing else from it: no
// focus, no place on the screen, no effect on the other controls.
class Announcer : public QWidget {
public:
    static inline const QString name = QStringLiteral("announcer");

    explicit Announcer(QWidget* window) : QWidget(window)
    {
        setObjectName(name);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, 0, 0);
        hide();
    }

    QString message;
};

class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(Announcer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const Announcer*>(widget())->message;
        return {};
    }
};

// The one factory: Qt asks it first for every object, from its own class up
// to QObject; what it does not know Qt makes as usual.
QAccessibleInterface* gameWindowAccessible(const QString& className, QObject* object)
{
    if (auto* announcer = dynamic_cast<Announcer*>(object))
        return new AnnouncerAccessible(announcer);
    if (className == QLatin1String("QWidget"))
        return new AreaAccessible(static_cast<QWidget*>(object));
    // Text boxes and labels elsewhere (in the boxes) are Qt's own.
    if (!object->parent() || !named(object->parent(), windowDesign().clientAreaName))
        return nullptr;
    if (className == QLatin1String("QLabel"))
        return new LabelAccessible(static_cast<QLabel*>(object));
    if (className == QLatin1String("QLineEdit"))
        return new TextBoxAccessible(static_cast<QLineEdit*>(object));
    if (className == QLatin1String("QGroupBox"))
        return new FrameAccessible(static_cast<QGroupBox*>(object));
    return nullptr;
}

} // namespace

void installGameWindowAccessibles()
{
    static const bool installed = [] {
        QAccessible::installFactory(gameWindowAccessible);
        return true;
    }();
    (void)installed;
}

void setDescriptionSource(QWidget* box, std::function<QString()> source)
{
    descriptionSources()[box] = std::move(source);
    QObject::connect(box, &QObject::destroyed, [box] { descriptionSources().erase(box); });
}

namespace {

Announcer* announcerOf(QWidget* window)
{
    return dynamic_cast<Announcer*>(
        window->findChild<QWidget*>(Announcer::name, Qt::FindDirectChildrenOnly));
}

} // namespace

void announce(QWidget* window, const QString& text)
{
    installGameWindowAccessibles();
    auto* announcer = announcerOf(window);
    if (!announcer)
        announcer = new Announcer(window);
    // Hidden, given the new text and shown again: a new notification each
    // time, even when the text repeats.
    announcer->hide();
    announcer->message = text;
    announcer->show();
    notifyScreenReader(announcer, text);
}

void withdrawAnnouncement(QWidget* window, const QString& text)
{
    Announcer* announcer = announcerOf(window);
    if (announcer && announcer->isVisible() && announcer->message == text) {
        announcer->hide();
        announcer->message.clear();
    }
}

QString accessibleDescription(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Description) : QString();
}

} // namespace cifrelle::ui
