// The Hamlib page of the settings dialog: the model list, searched by typing, and the device field.
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
#include "rotator/hamlib_models.h"
#include "ui/settings_dialog_pages.h"
#include "ui/tform1.h"

namespace {

// "Yaesu GS-232B  #603  Stable": every part can be searched for.
QString entry(const HamlibModel &model)
{
    return QStringLiteral("%1 %2  #%3  %4").arg(model.manufacturer, model.name, QString::number(model.number),
                                              model.status);
}

} // namespace

void TFormInit::createHamlibControls(QVBoxLayout *column)
{
    ComboBoxHamlibModel = new QComboBox;
    ComboBoxHamlibModel->setObjectName(QStringLiteral("ComboBoxHamlibModel"));
    for (const HamlibModel &model : hamlibModels())
        ComboBoxHamlibModel->addItem(entry(model), model.number);
    // Typing filters the list on any part of the entries; only a pick from it selects a model.
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
    auto *rows = new QGridLayout;
    rows->setSpacing(4);
    rows->addWidget(LabelHamlibModel, 0, 0);
    rows->addWidget(ComboBoxHamlibModel, 0, 1);
    rows->addWidget(LabelHamlibDevice, 1, 0);
    rows->addWidget(EditHamlibDevice, 1, 1);
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
    // A search left without a pick shows the model in effect again.
    connect(ComboBoxHamlibModel->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (const int index = ComboBoxHamlibModel->currentIndex(); index >= 0)
            ComboBoxHamlibModel->setEditText(ComboBoxHamlibModel->itemText(index));
    });
    addHandler("EditHamlibDeviceChange", [this] { hamlibDeviceChange(); });
    connect(EditHamlibDevice, &QLineEdit::textChanged, this,
            [this] { platform::guarded([this] { hamlibDeviceChange(); }); });
}

void TFormInit::showHamlib()
{
    const Settings &s = settings();
    EditHamlibDevice->setText(s.HAMLIB_DEVICE);
    ComboBoxBaudHamlib->setEditText(s.BAUD_HAMLIB.text);
    const int index = ComboBoxHamlibModel->findData(s.HAMLIB_MODEL);
    ComboBoxHamlibModel->setCurrentIndex(index);
    // A model this Hamlib does not know is shown by its number.
    if (index < 0)
        ComboBoxHamlibModel->setEditText(QStringLiteral("#") + QString::number(s.HAMLIB_MODEL));
    showHamlibPortKind();
}

void TFormInit::hamlibModelClick(int index)
{
    Settings &s = settings();
    const int model = ComboBoxHamlibModel->itemData(index).toInt();
    if (index < 0 || model == s.HAMLIB_MODEL)
        return;
    s.HAMLIB_MODEL = model;
    // The next command opens the new model.
    form1->hamlib->close();
    showHamlibPortKind();
}

void TFormInit::hamlibDeviceChange()
{
    Settings &s = settings();
    if (EditHamlibDevice->text() == s.HAMLIB_DEVICE)
        return;
    s.HAMLIB_DEVICE = EditHamlibDevice->text();
    form1->hamlib->close();
}

void TFormInit::showHamlibPortKind()
{
    const bool serial = isSerialModel(settings().HAMLIB_MODEL);
    RadioGroupPortHamlib->setEnabled(serial);
    ComboBoxBaudHamlib->setEnabled(serial);
    EditHamlibDevice->setEnabled(!serial);
}
