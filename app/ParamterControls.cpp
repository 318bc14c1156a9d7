#include "ParamterControls.h"

#include "ParamterFrm.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <stdexcept>

namespace {

QString FromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Name(Ctl c)
{
    return std::string(ControlName(c));
}

// The memo's text with only its block and line separators made line breaks.
// toPlainText() would also turn a no-break space into a plain one, and the
// logger would get byte 0x20 back where it sent 0xA0.
QString MemoText(const QPlainTextEdit *memo)
{
    QString text = memo->document()->toRawText();
    for (QChar &ch : text) {
        switch (ch.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0:  // frame marks: a plain memo holds none, but they would
        case 0xFDD1:  // break a line in toPlainText() too
            ch = u'\n';
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace

TParamterControls::TParamterControls(TParamter &Window)
    : FWindow(Window)
{
    // One walk over the window's widgets: a search by name for each control
    // would walk them all again for every one of them.
    QHash<QString, QWidget *> named;
    for (QWidget *widget : FWindow.findChildren<QWidget *>()) {
        if (!widget->objectName().isEmpty() && !named.contains(widget->objectName()))
            named.insert(widget->objectName(), widget);
    }
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const auto c = static_cast<Ctl>(i);
        FWidgets[i] = named.value(QString::fromLatin1(ControlName(c)));
        if (FWidgets[i] == nullptr)
            throw std::logic_error("the window has no control " + Name(c));
    }
}

QWidget *TParamterControls::Widget(Ctl c) const
{
    return FWidgets[static_cast<std::size_t>(c)];
}

// A control of the wrong kind is a programming error in the caller's table, not
// something the user can cause; it surfaces as an exception at the error boundary.
template<typename T>
T *TParamterControls::As(Ctl c) const
{
    if (auto *w = qobject_cast<T *>(Widget(c)))
        return w;
    throw std::logic_error(Name(c) + " is not a " + T::staticMetaObject.className());
}

std::string TParamterControls::Text(Ctl c) const
{
    QWidget *w = Widget(c);
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text().toStdString();
    if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
        return MemoText(memo).replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText().toStdString();
    throw std::logic_error(Name(c) + " has no text");
}

void TParamterControls::SetText(Ctl c, const std::string &text)
{
    QWidget *w = Widget(c);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        edit->setText(FromUtf8(text));
        return;
    }
    if (auto *memo = qobject_cast<QPlainTextEdit *>(w)) {
        QString plain = FromUtf8(text);
        plain.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        memo->setPlainText(plain);
        return;
    }
    throw std::logic_error(Name(c) + " takes no text");
}

int TParamterControls::ItemIndex(Ctl c) const
{
    return As<QComboBox>(c)->currentIndex();
}

void TParamterControls::SetItemIndex(Ctl c, int index)
{
    auto *combo = As<QComboBox>(c);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int TParamterControls::ItemCount(Ctl c) const
{
    return As<QComboBox>(c)->count();
}

std::string TParamterControls::ItemText(Ctl c, int index) const
{
    return As<QComboBox>(c)->itemText(index).toStdString();
}

bool TParamterControls::Checked(Ctl c) const
{
    return As<QAbstractButton>(c)->isChecked();
}

void TParamterControls::SetChecked(Ctl c, bool on)
{
    auto *button = As<QAbstractButton>(c);
    if (on || !button->autoExclusive()) {
        button->setChecked(on);
        return;
    }
    // Qt keeps one button of an exclusive group on; a record may switch a
    // button off without switching another on, which leaves none on.
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

void TParamterControls::SetVisible(Ctl c, bool visible)
{
    Widget(c)->setVisible(visible);
}

void TParamterControls::Enable(TEnableSwitch s, bool value)
{
    switch (s) {
    case TEnableSwitch::StartDelay: FWindow.EnableStartDelay(value); return;
    case TEnableSwitch::StartTime: FWindow.EnableStartTime(value); return;
    case TEnableSwitch::TemperatureH3Row: FWindow.EnableTemperatureH3Row(value); return;
    case TEnableSwitch::TemperatureH2Row: FWindow.EnableTemperatureH2Row(value); return;
    case TEnableSwitch::TemperatureL2Row: FWindow.EnableTemperatureL2Row(value); return;
    case TEnableSwitch::HumidityH1Row: FWindow.EnableHumidityH1Row(value); return;
    case TEnableSwitch::HumidityL1Row: FWindow.EnableHumidityL1Row(value); return;
    case TEnableSwitch::Password: As<QLineEdit>(Ctl::edtPassword)->setEnabled(value); return;
    }
}
