// The Hamlib page of the settings dialog: the model list, searched by typing, the rates the model
// accepts and the device field.
#include "ui/settings_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "rotator/hamlib_models.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

namespace {

// "Yaesu GS-232B #603 Stable": every part can be searched for.
QString entry(const HamlibModel &model)
{
    return QStringLiteral("%1 %2 #%3 %4").arg(model.manufacturer, model.name, QString::number(model.number),
                                            model.status);
}

// The entry from its start (maker and model) when the field is too narrow for it, whole in the
// field's tip.
void showEntry(QComboBox *models, const QString &text)
{
    models->setEditText(text);
    models->lineEdit()->setCursorPosition(0);
    models->setToolTip(text);
}

} // namespace

void TFormInit::createHamlibControls(QVBoxLayout *column)
{
    ComboBoxHamlibModel = new QComboBox;
    ComboBoxHamlibModel->setObjectName(QStringLiteral("ComboBoxHamlibModel"));
    for (const HamlibModel &model : hamlibModels())
        ComboBoxHamlibModel->addItem(entry(model), model.number);
    // Typing filters the list on any part of the entries; a pick, or Enter on the one entry
    // that matches, selects a model.
    ComboBoxHamlibModel->setEditable(true);
    ComboBoxHamlibModel->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxHamlibModel->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxHamlibModel->setMinimumContentsLength(4);
    ComboBoxHamlibModel->view()->setTextElideMode(Qt::ElideNone);
    QCompleter *completer = ComboBoxHamlibModel->completer();
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    LabelHamlibModel = new QLabel;
    LabelHamlibDevice = new QLabel;
    EditHamlibDevice = new QLineEdit;
    EditHamlibDevice->setObjectName(QStringLiteral("EditHamlibDevice"));
    LabelHamlibHint = new QLabel;
    LabelHamlibHint->setObjectName(QStringLiteral("LabelHamlibHint"));
    LabelHamlibHint->setStyleSheet(QStringLiteral("color: red;"));
    LabelHamlibHint->hide();
    // The model's field takes the page's whole width: its entries are long. The hint goes beside
    // its caption, so that the page never grows.
    auto *rows = new QGridLayout;
    rows->setSpacing(4);
    rows->addWidget(LabelHamlibModel, 0, 0);
    rows->addWidget(LabelHamlibHint, 0, 1, Qt::AlignRight);
    rows->addWidget(ComboBoxHamlibModel, 1, 0, 1, 2);
    rows->addWidget(LabelHamlibDevice, 2, 0);
    rows->addWidget(EditHamlibDevice, 2, 1);
    rows->setColumnStretch(1, 1);
    column->addLayout(rows);
    // No text: the model's own rate.
    ComboBoxBaudHamlib->setEditText(QString());
}

void TFormInit::connectHamlib()
{
    addHandler("ComboBoxHamlibModelClick", [this] { hamlibModelClick(ComboBoxHamlibModel->currentIndex()); });
    // A user's pick, from the list or from the search's suggestions.
    connect(ComboBoxHamlibModel, &QComboBox::activated, this,
            [this](int index) { platform::guarded([&] { hamlibModelClick(index); }); });
    connect(ComboBoxHamlibModel->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { platform::guarded([this] { hamlibModelEntered(); }); });
    // A search left without a pick shows the model in effect again; a refused one stays to be
    // mended while the field keeps the keyboard.
    connect(ComboBoxHamlibModel->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const int index = ComboBoxHamlibModel->currentIndex();
        if (index >= 0 && !ComboBoxHamlibModel->lineEdit()->hasFocus()) {
            showEntry(ComboBoxHamlibModel, ComboBoxHamlibModel->itemText(index));
            showHamlibRates();
        }
    });
    addHandler("EditHamlibDeviceChange", [this] { hamlibDeviceChange(); });
    connect(EditHamlibDevice, &QLineEdit::textChanged, this,
            [this] { platform::guarded([this] { hamlibDeviceChange(); }); });
}

void TFormInit::showHamlib()
{
    const Settings &s = settings();
    EditHamlibDevice->setText(s.HAMLIB_DEVICE);
    const int index = ComboBoxHamlibModel->findData(s.HAMLIB_MODEL);
    ComboBoxHamlibModel->setCurrentIndex(index);
    // A model this Hamlib does not know is shown by its number.
    showEntry(ComboBoxHamlibModel, index >= 0 ? ComboBoxHamlibModel->itemText(index)
                                              : QStringLiteral("#") + QString::number(s.HAMLIB_MODEL));
    showHamlibPortKind();
}

void TFormInit::hamlibModelClick(int index)
{
    Settings &s = settings();
    const int model = ComboBoxHamlibModel->itemData(index).toInt();
    if (index < 0)
        return;
    showEntry(ComboBoxHamlibModel, ComboBoxHamlibModel->itemText(index));
    if (model != s.HAMLIB_MODEL) {
        s.HAMLIB_MODEL = model;
        reopenHamlib();
    }
    showHamlibPortKind();
    showTravel(Hamlib);
}

void TFormInit::hamlibModelEntered()
{
    // Enter reaches the field twice (from the field, then from the list it belongs to): a text
    // is weighed once, until it is typed again.
    QLineEdit *field = ComboBoxHamlibModel->lineEdit();
    if (!field->isModified())
        return;
    field->setModified(false);
    const QString typed = field->text().trimmed();
    QList<int> matches;
    for (int i = 0; i < ComboBoxHamlibModel->count(); ++i) {
        if (ComboBoxHamlibModel->itemText(i).contains(typed, Qt::CaseInsensitive))
            matches << i;
    }
    if (matches.size() == 1) {
        ComboBoxHamlibModel->setCurrentIndex(matches.first());
        hamlibModelClick(matches.first());
    } else if (matches.isEmpty()) {
        platform::ui().beep(platform::Beep::Default);
        LabelHamlibHint->setText(hamlibNoModelText);
        LabelHamlibHint->show();
        field->selectAll();
    } else {
        // Several: their list stays to pick from.
        ComboBoxHamlibModel->completer()->setCompletionPrefix(typed);
        ComboBoxHamlibModel->completer()->complete();
    }
}

void TFormInit::hamlibDeviceChange()
{
    Settings &s = settings();
    if (EditHamlibDevice->text() == s.HAMLIB_DEVICE)
        return;
    s.HAMLIB_DEVICE = EditHamlibDevice->text();
    // Opened again once the address is whole: at the dialog's close, or by GO.
    form1->hamlib->close();
}

void TFormInit::reopenHamlib()
{
    form1->hamlib->close();
    if (settings().ANT == Hamlib)
        form1->hamlib->open();
}

void TFormInit::showHamlibPortKind()
{
    const std::optional<HamlibModel> model = hamlibModel(settings().HAMLIB_MODEL);
    const bool serial = model && model->serial;
    RadioGroupPortHamlib->setEnabled(serial);
    ComboBoxBaudHamlib->setEnabled(serial);
    EditHamlibDevice->setEnabled(!serial && !(model && model->portless));
    showHamlibRates();
}

void TFormInit::showHamlibRates()
{
    Settings &s = settings();
    const std::optional<HamlibModel> model = hamlibModel(s.HAMLIB_MODEL);
    QComboBox *list = ComboBoxBaudHamlib;
    list->clear();
    for (const BaudEntry &each : BaudTable) {
        const int rate = QString::fromLatin1(each.text).toInt();
        if (model && model->serial && rate >= model->slowestRate && rate <= model->fastestRate)
            list->addItem(QLatin1String(each.text));
    }
    const QString &stored = s.BAUD_HAMLIB.text;
    list->setCurrentIndex(list->findText(stored));
    list->setEditText(stored);
    s.BAUD_HAMLIB.BaudIndex = baudIndex(stored);
    // A stored rate the model cannot use is shown as it is, with the rates it can.
    const bool refused = model && model->serial && !stored.isEmpty() && list->findText(stored) < 0;
    if (refused) {
        const QString rates = model->slowestRate == model->fastestRate
            ? QString::number(model->slowestRate)
            : QStringLiteral("%1–%2").arg(model->slowestRate).arg(model->fastestRate);
        LabelHamlibHint->setText(hamlibRateText.arg(stored, rates));
    }
    LabelHamlibHint->setVisible(refused);
}
