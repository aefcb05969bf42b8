// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <map>

namespace cifrelle::app {

namespace {

std::map<const QObject*, std::function<QString()>>& descriptionSources()
{
    static std::map<const QObject*, std::function<QString()>> sources;
    return sources;
}

// The controls of the game window are the widgets placed straight on its
// client area (they get their names only after they are made, and an
// interface once made is kept).
bool isGameControl(const QObject* object)
{
    return object->parent() && object->parent()->objectName() == QLatin1String("client");
}

// A text box of the game as assistive technology sees it: an editable (or
// read-only) one-line text.
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit TextBoxAccessible(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText)
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
    void insertText(int offset, const QString& text) override
    {
        replaceText(offset, offset, text);
    }
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
        option.lineWidth = edit()->hasFrame()
                               ? edit()->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                              &option, edit())
                               : 0;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        return edit()->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit());
    }
};

// The caption that says what a value label means: read on the same line as
// the value, the count "3" is heard as "Risposte esatte 3".
const char* meaningOf(const QString& label)
{
    if (label == QLatin1String("lblScore"))
        return "Label1";
    if (label == QLatin1String("lblScore1"))
        return "Label2";
    if (label == QLatin1String("lblconto"))
        return "tempo";
    return nullptr;
}

// lblok1 and lblok2 repeat the message of lblok for the eye only.
bool repeatsTheMessage(const QString& label)
{
    return label == QLatin1String("lblok1") || label == QLatin1String("lblok2");
}

// A value label read together with its meaning, or a repeated message
// label that a screen reader passes over.
class LabelAccessible : public QAccessibleWidget {
public:
    explicit LabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const QLabel*>(widget());
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (repeatsTheMessage(label->objectName()))
            return {};
        const char* meaningName = meaningOf(label->objectName());
        const QLabel* meaning = meaningName ? label->parentWidget()->findChild<QLabel*>(
                                                  QLatin1String(meaningName),
                                                  Qt::FindDirectChildrenOnly)
                                            : nullptr;
        return meaning ? meaning->text() + QLatin1Char(' ') + label->text() : label->text();
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (repeatsTheMessage(widget()->objectName()))
            s.invisible = true;
        return s;
    }
};

QAccessibleInterface* textBoxFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QLabel")) {
        // The labels get their names after they are made (and then keep
        // their interface): what each says is decided by name when asked.
        auto* label = qobject_cast<QLabel*>(object);
        return label && isGameControl(label) ? new LabelAccessible(label) : nullptr;
    }
    if (className != QLatin1String("QLineEdit") || !isGameControl(object))
        return nullptr;
    auto* edit = qobject_cast<QLineEdit*>(object);
    return edit ? new TextBoxAccessible(edit) : nullptr;
}

} // namespace

void installTextBoxAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(textBoxFactory);
        return true;
    }();
    (void)installed;
}

void setDescriptionSource(QLineEdit* edit, std::function<QString()> source)
{
    descriptionSources()[edit] = std::move(source);
    QObject::connect(edit, &QObject::destroyed, [edit] { descriptionSources().erase(edit); });
}

} // namespace cifrelle::app
