#include "sources/favourites.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"

namespace {

bool isSignOrDigits(const QString &text)
{
    for (const QChar c : text) {
        if (!c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-'))
            return false;
    }
    return true;
}

// A key that would type a character other than a digit or a sign; Enter counts as one.
bool typesRefusedCharacter(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return true;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0) >= QLatin1Char(' ') && !isSignOrDigits(text);
}

QLabel *boldLabel(QWidget *parent, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(128, 0, 0));
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

AzimuthEntry::AzimuthEntry(QWidget *parent) : QAbstractSpinBox(parent)
{
    setFont(QFont(QStringLiteral("Arial"), 9, QFont::Bold));
    setValue(0);
}

int AzimuthEntry::value() const
{
    bool ok = false;
    const int number = lineEdit()->text().toInt(&ok);
    return ok ? number : 0;
}

void AzimuthEntry::setValue(int number)
{
    lineEdit()->setText(QString::number(qBound(Minimum, number, Maximum)));
}

void AzimuthEntry::stepBy(int steps)
{
    setValue(value() + steps);
    selectAll();
}

QValidator::State AzimuthEntry::validate(QString &input, int &) const
{
    if (!isSignOrDigits(input))
        return QValidator::Invalid;
    bool ok = false;
    input.toInt(&ok);
    return ok ? QValidator::Acceptable : QValidator::Intermediate;
}

QAbstractSpinBox::StepEnabled AzimuthEntry::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void AzimuthEntry::keyPressEvent(QKeyEvent *event)
{
    if (typesRefusedCharacter(event)) {
        event->accept();
        platform::ui().beep(platform::Beep::Default);
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void AzimuthEntry::focusOutEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusOutEvent(event);
    const int number = value();
    if (number != qBound(Minimum, number, Maximum))
        setValue(number);
}

NameEntry::NameEntry(QWidget *parent) : QLineEdit(parent)
{
    // A length limit of the line edit would also cut the names set by the program.
    // Read back the text: after a refused edit the change signal still carries the refused one.
    connect(this, &QLineEdit::textChanged, this, [this] { lastText = text(); });
    connect(this, &QLineEdit::cursorPositionChanged, this, [this](int, int position) { lastCursor = position; });
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text.size() > MaximumTyped && text.size() > lastText.size()) {
            const int cursor = lastCursor;
            setText(lastText);
            setCursorPosition(cursor);
        }
    });
}

TFormFav::TFormFav(QWidget *parent, std::function<bool()> french)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      french(std::move(french))
{
    setObjectName(QStringLiteral("FormFav"));
    setWindowTitle(QStringLiteral("Azimuts favoris"));
    setFixedSize(199, 228);
    move(198, 107);
    FormCreate();
}

void TFormFav::FormCreate()
{
    boldLabel(this, QStringLiteral("AZIM."), 48, 16);
    boldLabel(this, QStringLiteral("Text."), 112, 16);
    QWidget *previous = nullptr;
    for (int row = 0; row < 6; ++row) {
        const QString caption = QStringLiteral("Fav.%1").arg(row + 1);
        const int top = 32 + 24 * row;
        boldLabel(this, caption, 8, top + 4);
        SpinEdit[row] = new AzimuthEntry(this);
        SpinEdit[row]->setObjectName(QStringLiteral("SpinEdit%1").arg(row + 1));
        SpinEdit[row]->setGeometry(40, top, 49, 24);
        Edit[row] = new NameEntry(this);
        Edit[row]->setObjectName(QStringLiteral("Edit%1").arg(row + 1));
        Edit[row]->setGeometry(96, top, 73, 23);
        Edit[row]->setText(caption);
        if (previous)
            setTabOrder(previous, SpinEdit[row]);
        setTabOrder(SpinEdit[row], Edit[row]);
        previous = Edit[row];
    }
    BitBtnSave = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("Enregistrer"), this);
    BitBtnSave->setObjectName(QStringLiteral("BitBtnSave"));
    BitBtnSave->setGeometry(48, 184, 113, 25);
    BitBtnSave->setFont(QFont(QStringLiteral("Arial"), 8, QFont::Bold));
    setTabOrder(previous, BitBtnSave);
    connect(BitBtnSave, &QPushButton::clicked, this, [this] { platform::guarded([this] { BitBtnSaveClick(); }); });
}

void TFormFav::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from its icon is not shown anew: its entries stay as they are.
    if (!event->spontaneous())
        platform::guarded([this] { FormShow(); });
}

void TFormFav::FormShow()
{
    const bool inFrench = french();
    setWindowTitle(inFrench ? QStringLiteral("Azimuts favoris") : QStringLiteral("Favorite azimuths"));
    BitBtnSave->setText(inFrench ? QStringLiteral("Enregistrer") : QStringLiteral("Save"));
    const Settings &s = settings();
    for (int row = 0; row < 6; ++row) {
        SpinEdit[row]->setValue(s.FAVAZ[row]);
        Edit[row]->setText(s.FAVTXT[row]);
    }
}

void TFormFav::BitBtnSaveClick()
{
    applyEntries();
}

void TFormFav::closeEvent(QCloseEvent *event)
{
    platform::guarded([this] { FormClose(); });
    event->accept();
}

void TFormFav::FormClose()
{
    applyEntries();
}

void TFormFav::applyEntries()
{
    Settings &s = settings();
    for (int row = 0; row < 6; ++row) {
        SpinEdit[row]->setValue(SpinEdit[row]->value());
        s.FAVAZ[row] = SpinEdit[row]->value();
        s.FAVTXT[row] = Edit[row]->text();
        if (QPushButton *button = s.FavouriteButtons[row])
            button->setText(s.FAVTXT[row]);
    }
}
