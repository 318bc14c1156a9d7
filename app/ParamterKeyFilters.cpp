#include "ParamterFrm.h"

#include "OnScreen.h"
#include "ParamterControls.h"
#include "ValueRules.h"
#include "ui_ParamterFrm.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QValidator>

#include <functional>
#include <vector>

namespace {

// The typing rules are the core's, which the settings-file reader applies
// too: a file never holds what could not have been typed here.
const TValueRule *RuleFor(const QObject *edit)
{
    for (const TValueRule &rule : ValueRules()) {
        const std::string_view name = ControlName(rule.Edit);
        if (edit->objectName() == QLatin1String(name.data(), qsizetype(name.size())))
            return &rule;
    }
    return nullptr;
}

// Backspace, tab and carriage return pass every filter; they edit, they are not text.
bool IsEditingKey(QChar c) { return c == u'\b' || c == u'\t' || c == u'\r'; }

// Each filter decides on the edit's whole text as it is before the key.
bool Accepts(TTyping filter, const QString &text, QChar key)
{
    if (IsEditingKey(key))
        return true;
    const QList<uint> before = text.toUcs4();
    const std::u32string chars(before.begin(), before.end());
    return MayType(filter, chars, key.unicode());
}

// What a key press types as the filters see it: Ctrl with a letter types its
// control character (Ctrl+V is 0x16), and keys that edit without typing
// (arrows, Delete, Home) type nothing and are never filtered.
QString TypedText(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace: return QStringLiteral("\b");
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QStringLiteral("\t");
    case Qt::Key_Return:
    case Qt::Key_Enter: return QStringLiteral("\r");
    case Qt::Key_Delete: return {};
    default: break;
    }
    const Qt::KeyboardModifiers chord = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (chord == Qt::ControlModifier && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
        return QString(QChar(event->key() - Qt::Key_A + 1));
    return event->text();
}

qsizetype LimitOf(const QLineEdit *edit, const TValueRule &rule)
{
    return rule.Limit > 0 ? qsizetype(rule.Limit) : edit->maxLength();
}

// The characters of text that typing them one after another lets in, into
// `before` with `selectionLength` characters selected from `selectionStart`
// (or the caret there): each passes the filter and the limit on the text as it
// would be by then, and refused characters are dropped.
QString Admitted(const TValueRule &rule, qsizetype limit, QString before, qsizetype selectionStart,
                 qsizetype selectionLength, const QString &text)
{
    bool selectionPending = selectionLength > 0;
    qsizetype pos = selectionStart;
    QString accepted;

    for (QChar key : text) {
        if (IsEditingKey(key) || !Accepts(rule.Typing, before, key))
            continue;
        const qsizetype replaced = selectionPending ? selectionLength : 0;
        if (before.size() - replaced + 1 > limit)
            break;
        if (selectionPending) {
            before.remove(selectionStart, selectionLength);
            selectionPending = false;
        }
        before.insert(pos++, key);
        accepted += key;
    }
    return accepted;
}

// Pasted or composed text goes in as if its characters were typed one after
// another.
void InsertTyped(QLineEdit *edit, const TValueRule &rule, const QString &text)
{
    const bool hadSelection = edit->hasSelectedText();
    const QString accepted = Admitted(rule, LimitOf(edit, rule), edit->text(),
                                      hadSelection ? edit->selectionStart() : edit->cursorPosition(),
                                      hadSelection ? edit->selectedText().size() : 0, text);
    if (!accepted.isEmpty())
        edit->insert(accepted);
}

// Screen readers, on-screen keyboards and dictation set an edit's text through
// Qt's accessibility interface, which bypasses key events: it asks the edit's
// validator about the new text, then replaces the whole text with it. The
// validator is where such text meets the filters. The edit also asks it about
// every change of its own, with the text already in place (typing, pasting and
// reads are filtered or meant as they are); those pass untouched.
class TOutsideText final : public QValidator
{
public:
    TOutsideText(QLineEdit *edit, const TValueRule &rule)
        : QValidator(edit)
        , FEdit(edit)
        , FRule(rule)
    {
    }

    State validate(QString &input, int &pos) const override
    {
        if (input == FEdit->text())
            return Acceptable;
        // What the user can neither see nor change by hand stays as it is.
        if (!FEdit->isEnabled() || !IsOnScreen(FEdit))
            return Invalid;
        // The new text goes in as if typed into the emptied edit.
        input = Admitted(FRule, LimitOf(FEdit, FRule), QString(), 0, 0, input);
        pos = int(input.size());
        return Acceptable;
    }

private:
    const QLineEdit *FEdit;
    const TValueRule &FRule;
};

// The memo's length counts a line break as CR LF, the two characters it takes
// when the text is sent.
qsizetype WireLength(QString plain)
{
    plain.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    return plain.size() + plain.count(u'\n');
}

qsizetype MemoRoom(const QPlainTextEdit *memo)
{
    return qsizetype(TripInfoLimit) - WireLength(memo->toPlainText()) + WireLength(memo->textCursor().selectedText());
}

void InsertLimited(QPlainTextEdit *memo, QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    qsizetype room = MemoRoom(memo);
    qsizetype n = 0;
    for (; n < text.size(); ++n) {
        const qsizetype cost = text.at(n) == u'\n' ? 2 : 1;
        if (cost > room)
            break;
        room -= cost;
    }
    if (n > 0)
        memo->insertPlainText(text.left(n));
}

QString ClipboardText(QClipboard::Mode mode = QClipboard::Clipboard)
{
    return QGuiApplication::clipboard()->text(mode);
}

void Popup(QMenu *menu, const QPoint &globalPos)
{
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

// The line edit's own menu names no action to reroute, so the filtered edits
// build theirs. It shows no shortcuts: the filters refuse the control
// characters of Ctrl+Z, Ctrl+C and Ctrl+V, as they refuse every control character.
QMenu *LineEditMenu(QLineEdit *edit, std::function<void()> paste)
{
    auto *menu = new QMenu(edit);
    const auto add = [menu](const char *name, const QString &text, bool enabled, auto slot) {
        QAction *action = menu->addAction(text, std::move(slot));
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    const bool selected = edit->hasSelectedText();
    add("edit-undo", QLineEdit::tr("&Undo"), edit->isUndoAvailable(), [edit] { edit->undo(); });
    add("edit-redo", QLineEdit::tr("&Redo"), edit->isRedoAvailable(), [edit] { edit->redo(); });
    menu->addSeparator();
    add("edit-cut", QLineEdit::tr("Cu&t"), selected, [edit] { edit->cut(); });
    add("edit-copy", QLineEdit::tr("&Copy"), selected, [edit] { edit->copy(); });
    add("edit-paste", QLineEdit::tr("&Paste"), !ClipboardText().isEmpty(), std::move(paste));
    add("edit-delete", QLineEdit::tr("Delete"), selected, [edit] { edit->del(); });
    menu->addSeparator();
    add("select-all", QLineEdit::tr("Select All"), !edit->text().isEmpty(), [edit] { edit->selectAll(); });
    return menu;
}

// The memo's standard menu, with its Paste action sent through the length limit.
QMenu *MemoMenu(QPlainTextEdit *memo, const QPoint &pos)
{
    QMenu *menu = memo->createStandardContextMenu(pos);
    if (auto *paste = menu->findChild<QAction *>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
        QObject::connect(paste, &QAction::triggered, memo, [memo] { InsertLimited(memo, ClipboardText()); });
    }
    return menu;
}

bool IsMiddleRelease(const QEvent *event)
{
    return event->type() == QEvent::MouseButtonRelease
           && static_cast<const QMouseEvent *>(event)->button() == Qt::MiddleButton;
}

// Dropped text goes in through the filters like pasted text, at the drop point.
// A drag is always offered as a copy: the edit's own move would take the text
// out of its source before the filter had a say.
bool AcceptDrag(QEvent *event)
{
    auto *drag = static_cast<QDropEvent *>(event);
    if (!drag->mimeData()->hasText())
        return false;
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    return true;
}

QString DroppedText(QEvent *event)
{
    auto *drop = static_cast<QDropEvent *>(event);
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    return drop->mimeData()->text();
}

bool FilterMemo(QPlainTextEdit *memo, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Paste)) {
            InsertLimited(memo, ClipboardText());
            return true;
        }
        const QString typed = TypedText(key);
        if (typed.size() > 1) {
            InsertLimited(memo, typed);
            return true;
        }
        qsizetype cost = 0;
        if (typed == QLatin1String("\r"))
            cost = 2;
        else if (typed.size() == 1 && typed.front().isPrint())
            cost = 1;
        return cost > MemoRoom(memo);
    }
    case QEvent::InputMethod:
        InsertLimited(memo, static_cast<QInputMethodEvent *>(event)->commitString());
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return AcceptDrag(event);
    case QEvent::Drop: {
        const QPoint at = static_cast<QDropEvent *>(event)->position().toPoint();
        memo->setTextCursor(memo->cursorForPosition(at));
        InsertLimited(memo, DroppedText(event));
        return true;
    }
    case QEvent::ContextMenu: {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        Popup(MemoMenu(memo, request->pos()), request->globalPos());
        return true;
    }
    default:
        if (IsMiddleRelease(event)) {
            if (QGuiApplication::clipboard()->supportsSelection())
                InsertLimited(memo, ClipboardText(QClipboard::Selection));
            return true;
        }
        return false;
    }
}

} // namespace

void TParamter::edtSerialNumberKeyPress(QLineEdit *Sender, QChar &Key)
{
    if (!Accepts(TTyping::SerialNumber, Sender->text(), Key))
        Key = QChar();
}

void TParamter::edtHexKeyPress(QLineEdit *Sender, QChar &Key)
{
    if (!Accepts(TTyping::Hex, Sender->text(), Key))
        Key = QChar();
}

void TParamter::edtIntKeyPress(QLineEdit *Sender, QChar &Key)
{
    if (!Accepts(TTyping::Digits, Sender->text(), Key))
        Key = QChar();
}

void TParamter::edtCharKeyPress(QLineEdit *Sender, QChar &Key)
{
    if (!Accepts(TTyping::LettersDigits, Sender->text(), Key))
        Key = QChar();
}

void TParamter::edtNumberKeyPress(QLineEdit *Sender, QChar &Key)
{
    if (!Accepts(TTyping::Number, Sender->text(), Key))
        Key = QChar();
}

void TParamter::InstallKeyFilters()
{
    for (const TValueRule &rule : ValueRules()) {
        auto *edit = static_cast<QLineEdit *>(FControls->Widget(rule.Edit));
        // Composed text would reach the edit without a key press.
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
        edit->installEventFilter(this);
        edit->setValidator(new TOutsideText(edit, rule));
    }
    QPlainTextEdit *memo = ui->mmoTripInfo;
    memo->setTabChangesFocus(true);
    memo->setAttribute(Qt::WA_InputMethodEnabled, false);
    memo->installEventFilter(this);
    memo->viewport()->installEventFilter(this);
}

// Returns true when the event is consumed: a refused key, or text that went in
// through the filters instead of the edit's own paste.
bool TParamter::FilterKeyPress(QObject *watched, QEvent *event)
{
    // An edit takes some of the window's keys for its own (Ctrl+E moves its
    // cursor to the end): the window's keys are the window's wherever the
    // focus is. Left unaccepted, the key reaches its shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence &own : {QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_E),
                                        QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::CTRL | Qt::Key_S),
                                        QKeySequence(Qt::Key_F5), QKeySequence(Qt::Key_F1)}) {
            if (pressed == own) {
                event->ignore();
                return true;
            }
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::MouseButtonRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        break;
    default:
        return false;
    }
    if (watched == ui->mmoTripInfo || watched == ui->mmoTripInfo->viewport())
        return FilterMemo(ui->mmoTripInfo, event);

    auto *edit = qobject_cast<QLineEdit *>(watched);
    const TValueRule *rule = edit != nullptr ? RuleFor(edit) : nullptr;
    if (rule == nullptr)
        return false;

    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *press = static_cast<QKeyEvent *>(event);
        // It types nothing: it selects, as in every other edit.
        if (press->matches(QKeySequence::SelectAll))
            return false;
        const QString typed = TypedText(press);
        if (typed.isEmpty()) {
            if (!press->matches(QKeySequence::Paste))
                return false;
            InsertTyped(edit, *rule, ClipboardText());
            return true;
        }
        if (typed.size() > 1) {
            InsertTyped(edit, *rule, typed);
            return true;
        }
        QChar key = typed.front();
        switch (rule->Typing) {
        case TTyping::SerialNumber: edtSerialNumberKeyPress(edit, key); break;
        case TTyping::Hex: edtHexKeyPress(edit, key); break;
        case TTyping::Digits: edtIntKeyPress(edit, key); break;
        case TTyping::LettersDigits: edtCharKeyPress(edit, key); break;
        case TTyping::Number: edtNumberKeyPress(edit, key); break;
        }
        if (key.isNull())
            return true;
        if (IsEditingKey(key) || rule->Limit == 0)
            return false;
        return edit->text().size() - edit->selectedText().size() + 1 > qsizetype(rule->Limit);
    }
    case QEvent::InputMethod:
        InsertTyped(edit, *rule, static_cast<QInputMethodEvent *>(event)->commitString());
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return AcceptDrag(event);
    case QEvent::Drop: {
        const QPoint at = static_cast<QDropEvent *>(event)->position().toPoint();
        edit->deselect();
        edit->setCursorPosition(edit->cursorPositionAt(at));
        InsertTyped(edit, *rule, DroppedText(event));
        return true;
    }
    case QEvent::ContextMenu: {
        QMenu *menu = LineEditMenu(edit, [edit, rule] { InsertTyped(edit, *rule, ClipboardText()); });
        Popup(menu, static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    default:
        if (IsMiddleRelease(event)) {
            if (QGuiApplication::clipboard()->supportsSelection())
                InsertTyped(edit, *rule, ClipboardText(QClipboard::Selection));
            return true;
        }
        return false;
    }
}
